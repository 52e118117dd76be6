# Build policy shared by every target, tests included.
add_library(tulva_policy INTERFACE)
target_compile_features(tulva_policy INTERFACE cxx_std_20)
target_compile_definitions(tulva_policy INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_FOREACH)
if(MSVC)
    target_compile_options(tulva_policy INTERFACE /W4 /utf-8)
    if(TULVA_WERROR)
        target_compile_options(tulva_policy INTERFACE /WX)
    endif()
else()
    target_compile_options(tulva_policy INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
    if(TULVA_WERROR)
        target_compile_options(tulva_policy INTERFACE -Werror)
    endif()
    if(TULVA_SANITIZE)
        target_compile_options(tulva_policy INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
        target_link_options(tulva_policy INTERFACE -fsanitize=address,undefined)
    endif()
endif()
