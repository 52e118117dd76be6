# Manual pages and the bash completion, made from the programs' own help when they are built, so
# that neither can tell another story than the programs do. Both need the built programs to run
# on the build machine.
include(GNUInstallDirs)

option(TULVA_MANPAGES "Make the manual pages (help2man) and the bash completion (python3)" ON)

if(TULVA_MANPAGES AND UNIX)
    find_program(HELP2MAN_EXECUTABLE help2man)
    find_program(GZIP_EXECUTABLE gzip)
    find_package(Python3 COMPONENTS Interpreter)
    if(NOT HELP2MAN_EXECUTABLE OR NOT GZIP_EXECUTABLE OR NOT Python3_Interpreter_FOUND)
        message(WARNING "help2man, gzip or python3 missing: no manual pages and no bash completion "
                        "(-DTULVA_MANPAGES=OFF silences this)")
        set(TULVA_MANPAGES OFF)
    endif()
else()
    set(TULVA_MANPAGES OFF)
endif()

# tulva_add_manpage(<target> [NAME <one line>] [HELP_OPTION <option>] [INCLUDE <file>] [LOCALE <locale>])
#
# The page is what help2man makes of `<program> <HELP_OPTION>` (default --help) and --version, run
# in LOCALE (default C.UTF-8), plus the sections of the INCLUDE file. A page in another language
# is the same call with that language's LOCALE and INCLUDE: it goes to share/man/<ll>/man1, where
# <ll> is the language of the locale ("ru" for ru_RU.UTF-8). Its INCLUDE file names the sections
# in that language and holds the NAME line itself (help2man takes --name as ASCII only). Where the
# locale is not installed the page is left out with a message.
function(tulva_add_manpage target)
    if(NOT TULVA_MANPAGES)
        return()
    endif()
    cmake_parse_arguments(M "" "NAME;HELP_OPTION;INCLUDE;LOCALE" "" ${ARGN})
    if(NOT M_HELP_OPTION)
        set(M_HELP_OPTION --help)
    endif()
    if(NOT M_LOCALE)
        set(M_LOCALE C.UTF-8)
    endif()
    # help2man sets the locale with Perl's setlocale; where that fails it would write the page in
    # ASCII.
    if(NOT M_LOCALE MATCHES "^C(\\.|$)")
        execute_process(COMMAND perl -MPOSIX -e "exit(setlocale(LC_ALL, '${M_LOCALE}') ? 0 : 1)"
            RESULT_VARIABLE no_locale OUTPUT_QUIET ERROR_QUIET)
        if(NOT no_locale EQUAL 0)
            message("The locale ${M_LOCALE} is not installed: no manual page of ${target} in it "
                    "(scripts/install-deps generates it)")
            return()
        endif()
    endif()
    set(name_args)
    if(M_NAME)
        set(name_args "--name=${M_NAME}")
    endif()
    string(REGEX MATCH "^[a-z][a-z]" language "${M_LOCALE}")
    if(language)
        set(subdir "${language}/man1")
    else()
        set(subdir "man1")
    endif()
    set(dir "${PROJECT_BINARY_DIR}/man/${subdir}")
    set(page "${dir}/${target}.1")
    set(include_args)
    set(depends ${target})
    if(M_INCLUDE)
        set(include_args "--include=${M_INCLUDE}")
        list(APPEND depends "${M_INCLUDE}")
    endif()
    # Through PATH, so that the page names the program and not its path in the build tree.
    add_custom_command(OUTPUT "${page}.gz"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${dir}"
        COMMAND "${CMAKE_COMMAND}" -E env "PATH=$<TARGET_FILE_DIR:${target}>:$ENV{PATH}"
                QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
                "${HELP2MAN_EXECUTABLE}" --no-info "--locale=${M_LOCALE}" ${name_args}
                "--help-option=${M_HELP_OPTION}" --version-option=--version ${include_args}
                "--output=${page}" "$<TARGET_FILE_NAME:${target}>"
        COMMAND "${GZIP_EXECUTABLE}" -9 -n -f "${page}"
        DEPENDS ${depends}
        COMMENT "Manual page ${subdir}/${target}.1"
        VERBATIM)
    string(REPLACE "/" "_" suffix "${subdir}")
    add_custom_target(manpage_${target}_${suffix} ALL DEPENDS "${page}.gz")
    install(FILES "${page}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/${subdir}")
endfunction()

tulva_add_manpage(tulvaa NAME "administrator's workstation of the TULVA64 library database server"
    INCLUDE "${PROJECT_SOURCE_DIR}/man/tulvaa.h2m")
tulva_add_manpage(tulvaa-cli NAME "administer a TULVA64 database server from scripts and monitoring"
    HELP_OPTION --help-all INCLUDE "${PROJECT_SOURCE_DIR}/man/tulvaa-cli.h2m")
tulva_add_manpage(tulva-sim NAME "emulator of the TULVA64 database server"
    INCLUDE "${PROJECT_SOURCE_DIR}/man/tulva-sim.h2m")
# tulvaa-cli's help follows the locale; the workstation's windows are Russian whatever the locale,
# and the emulator is a developer's tool, so their help (and pages) stay English.
if(TULVA_CLI_TRANSLATED)
    tulva_add_manpage(tulvaa-cli HELP_OPTION --help-all LOCALE ru_RU.UTF-8
        INCLUDE "${PROJECT_SOURCE_DIR}/man/ru/tulvaa-cli.h2m")
endif()

if(TULVA_MANPAGES)
    set(TULVA_COMPLETION "${PROJECT_BINARY_DIR}/completion/tulvaa-cli")
    add_custom_command(OUTPUT "${TULVA_COMPLETION}"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${PROJECT_BINARY_DIR}/completion"
        COMMAND "${CMAKE_COMMAND}" -E env ASAN_OPTIONS=detect_leaks=0
                "${Python3_EXECUTABLE}" "${PROJECT_SOURCE_DIR}/scripts/make-completion.py"
                "$<TARGET_FILE:tulvaa-cli>" "${TULVA_COMPLETION}"
        DEPENDS tulvaa-cli "${PROJECT_SOURCE_DIR}/scripts/make-completion.py"
        COMMENT "Bash completion of tulvaa-cli"
        VERBATIM)
    add_custom_target(completion_tulvaa_cli ALL DEPENDS "${TULVA_COMPLETION}")
    install(FILES "${TULVA_COMPLETION}" DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions")
endif()
