# Installation and the Debian package.
#
# The workstation reads Ctulvaa.ini, the message file and the help file from its current
# directory. So the data directory (share/tulvaa) holds the message and help files and a link
# Ctulvaa.ini to the settings file in /etc/tulvaa, which is where an administrator edits the
# server's address; the desktop entry starts the workstation in that directory.
include(GNUInstallDirs)

set(TULVA_DATA_SUBDIR "${CMAKE_INSTALL_DATADIR}/tulvaa")

install(TARGETS tulvaa tulvaa-cli tulva-sim RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES data/TULVAMSG.TXT data/tulvaa.hlp DESTINATION "${TULVA_DATA_SUBDIR}")
# The emulator finds its sample beside share/tulvaa (see emulator/main.cpp).
install(DIRECTORY emulator/sample/ DESTINATION "${TULVA_DATA_SUBDIR}/sample")
install(FILES data/icons/tulvaa.svg DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
install(FILES data/icons/tulvaa-48.png DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps"
        RENAME tulvaa.png)
install(FILES README.md DESTINATION "${CMAKE_INSTALL_DOCDIR}")
install(FILES emulator/README.md DESTINATION "${CMAKE_INSTALL_DOCDIR}" RENAME README-tulva-sim.md)

# The metadata and documents that Debian's tools and software centres read. Each names the
# release it describes; a version bump without a new entry fails here rather than in lintian.
set(TULVA_APPSTREAM_ID "org.example.tulva64.tulvaa")
function(tulva_require_version file pattern)
    file(READ "${PROJECT_SOURCE_DIR}/${file}" _text)
    string(REPLACE "VERSION" "${PROJECT_VERSION}" _pattern "${pattern}")
    string(REPLACE "." "\\." _pattern "${_pattern}")
    if(NOT _text MATCHES "${_pattern}")
        message(FATAL_ERROR "${file} has no entry for version ${PROJECT_VERSION}")
    endif()
endfunction()
tulva_require_version(data/debian/changelog "^tulvaa \\(VERSION\\) ")
tulva_require_version(data/${TULVA_APPSTREAM_ID}.metainfo.xml "<release version=\"VERSION\"")
install(FILES data/${TULVA_APPSTREAM_ID}.metainfo.xml DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES data/debian/copyright DESTINATION "${CMAKE_INSTALL_DOCDIR}")
if(UNIX)
    find_program(GZIP_EXECUTABLE gzip REQUIRED)
    set(_changelog "${PROJECT_BINARY_DIR}/debian/changelog")
    add_custom_command(OUTPUT "${_changelog}.gz"
        COMMAND "${CMAKE_COMMAND}" -E copy "${PROJECT_SOURCE_DIR}/data/debian/changelog" "${_changelog}"
        COMMAND "${GZIP_EXECUTABLE}" -9 -n -f "${_changelog}"
        DEPENDS "${PROJECT_SOURCE_DIR}/data/debian/changelog"
        VERBATIM)
    add_custom_target(debian_changelog ALL DEPENDS "${_changelog}.gz")
    install(FILES "${_changelog}.gz" DESTINATION "${CMAKE_INSTALL_DOCDIR}")
endif()

# The settings file, the link to it and the desktop entry depend on the prefix of the install
# itself (CPack installs with its own prefix), so they are made when installing.
install(CODE "
    set(_src \"${PROJECT_SOURCE_DIR}/data\")
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
        set(_etc \"/etc/tulvaa\")
    else()
        set(_etc \"\${CMAKE_INSTALL_PREFIX}/etc/tulvaa\")
    endif()
    set(_share \"\${CMAKE_INSTALL_PREFIX}/${TULVA_DATA_SUBDIR}\")
    set(_apps \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")

    # An existing settings file is the administrator's: never overwritten.
    if(NOT EXISTS \"\$ENV{DESTDIR}\${_etc}/Ctulvaa.ini\")
        message(STATUS \"Installing: \$ENV{DESTDIR}\${_etc}/Ctulvaa.ini\")
        file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${_etc}\")
        configure_file(\"\${_src}/Ctulvaa.ini.default\" \"\$ENV{DESTDIR}\${_etc}/Ctulvaa.ini\" COPYONLY)
    endif()
    message(STATUS \"Installing: \$ENV{DESTDIR}\${_share}/Ctulvaa.ini -> \${_etc}/Ctulvaa.ini\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${_share}\")
    file(REMOVE \"\$ENV{DESTDIR}\${_share}/Ctulvaa.ini\")
    file(CREATE_LINK \"\${_etc}/Ctulvaa.ini\" \"\$ENV{DESTDIR}\${_share}/Ctulvaa.ini\" SYMBOLIC)

    message(STATUS \"Installing: \$ENV{DESTDIR}\${_apps}/tulvaa.desktop\")
    file(READ \"\${_src}/tulvaa.desktop\" _entry)
    string(REPLACE \"Path=/usr/share/tulvaa\" \"Path=\${_share}\" _entry \"\${_entry}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${_apps}\")
    file(WRITE \"\$ENV{DESTDIR}\${_apps}/tulvaa.desktop\" \"\${_entry}\")
")

# Debian package: cpack -G DEB in the build directory.
set(CPACK_PACKAGE_NAME "tulvaa")
set(CPACK_PACKAGE_VENDOR "TULVA64 workstation developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "TULVA64 administrator's workstation, command-line tool and server emulator")
# Debian wants the lines of the long description at most 80 characters wide: they are given here
# as they are shown.
set(CPACK_PACKAGE_DESCRIPTION "tulvaa is the administrator's workstation of the TULVA64 library database\n\
server, a Qt 6 desktop program: databases, long server jobs and their logs,\n\
client accounts, registered clients and server processes.\n\
\n\
tulvaa-cli runs the same server commands from scripts and cron, and speaks to\n\
monitoring systems: Prometheus metrics for the node exporter's textfile\n\
collector, and a monitoring plugin with warning and critical thresholds.\n\
\n\
tulva-sim is an emulator of the server with sample data.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_GENERATOR "DEB")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "TULVA64 workstation developers <tulvaa@tulva64.example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION "misc")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libqt6core6 (>= 6.4), libqt6network6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6charts6 (>= 6.4), libqt6dbus6 (>= 6.4)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, qt6-translations-l10n, openssh-client")
# dpkg keeps an administrator's edits of the settings file on upgrade and removal.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/data/debian/conffiles")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
