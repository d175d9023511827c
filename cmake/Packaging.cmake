# SPDX-License-Identifier: GPL-3.0-or-later
# What the installed programs need besides themselves, and the Debian package made of it
# ("cpack -G DEB" in the Release build). The programs look for their data in
# ${CMAKE_INSTALL_FULL_DATADIR}/orvane, so the package must install to the same prefix.
set(ORVANE_SHARE ${CMAKE_INSTALL_DATADIR}/orvane)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/db/ DESTINATION ${ORVANE_SHARE}/db)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/sensors/ DESTINATION ${ORVANE_SHARE}/sensors)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/demo-study/
        DESTINATION ${ORVANE_SHARE}/demo-study)
# Help > Orvane Manual shows the README with the pictures it links to.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${ORVANE_SHARE}/manual)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${ORVANE_SHARE}/manual/docs
        FILES_MATCHING PATTERN "*.png")
install(FILES ${PROJECT_SOURCE_DIR}/data/org.orvane.Orvane.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/orvane-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME orvane-cli)

# The installed orvane-db reads the installed schema and sensors: its copy names the data
# folder and the version where the checkout's script leaves them empty.
set(_db_script ${PROJECT_SOURCE_DIR}/scripts/orvane-db)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_db_script})
file(READ ${_db_script} _db_text)
foreach(_line "installed_share=\"\"" "version=\"\"" "#!/usr/bin/env bash")
    string(FIND "${_db_text}" "${_line}" _at)
    if(_at EQUAL -1)
        message(FATAL_ERROR "scripts/orvane-db lost its line ${_line}, which the package rewrites")
    endif()
endforeach()
string(REPLACE "installed_share=\"\"" "installed_share=\"${CMAKE_INSTALL_FULL_DATADIR}/orvane\""
       _db_text "${_db_text}")
string(REPLACE "version=\"\"" "version=\"${PROJECT_VERSION}\"" _db_text "${_db_text}")
string(REPLACE "#!/usr/bin/env bash" "#!/bin/bash" _db_text "${_db_text}")
set(ORVANE_DB_INSTALLED ${CMAKE_BINARY_DIR}/package/orvane-db)
# Written only when it changed, so that a new configure does not remake its man page.
file(WRITE ${CMAKE_BINARY_DIR}/package/orvane-db.new "${_db_text}")
configure_file(${CMAKE_BINARY_DIR}/package/orvane-db.new ${ORVANE_DB_INSTALLED} COPYONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
install(PROGRAMS ${ORVANE_DB_INSTALLED} DESTINATION ${CMAKE_INSTALL_BINDIR})

# Man pages from each program's --help (Debian's help2man), with the sections --help lacks.
find_program(HELP2MAN help2man)
if(NOT HELP2MAN)
    message(FATAL_ERROR "help2man is missing; scripts/setup installs it (apt-get install help2man)")
endif()
set(_man_dir ${CMAKE_BINARY_DIR}/man)
file(MAKE_DIRECTORY ${_man_dir})
function(orvane_man_page name program dependency summary)
    set(page ${_man_dir}/${name}.1)
    set(include ${PROJECT_SOURCE_DIR}/packaging/${name}.h2m)
    add_custom_command(
        OUTPUT ${page} ${page}.gz
        # The window's --help needs a platform, never a display; in the sanitizer build what
        # Qt keeps until exit is no leak to fail the build on.
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
                ${HELP2MAN} --no-info --section=1 --name=${summary}
                --include=${include} --output=${page} ${program}
        COMMAND gzip -9nf --keep ${page}
        DEPENDS ${dependency} ${include}
        COMMENT "Man page of ${name}" VERBATIM)
    add_custom_target(orvane_man_${name} DEPENDS ${page})
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
orvane_man_page(orvane $<TARGET_FILE:orvane> orvane "field spectroscopy workbench")
orvane_man_page(orvane-cli $<TARGET_FILE:orvane-cli> orvane-cli
                "field spectroscopy workbench on the command line")
orvane_man_page(orvane-db ${ORVANE_DB_INSTALLED} ${ORVANE_DB_INSTALLED}
                "private or lab MariaDB server for Orvane")
add_custom_target(orvane_man_pages ALL)
add_dependencies(orvane_man_pages orvane_man_orvane orvane_man_orvane-cli orvane_man_orvane-db)
# The tests read orvane-cli's page.
set(ORVANE_MAN_DIR ${_man_dir})

# Debian's documents: the copyright in its machine-readable format and the changelog.
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/package/changelog.gz
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/package/changelog.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(orvane_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/package/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/package/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Orvane")
set(CPACK_PACKAGE_CONTACT "Orvane maintainers <maintainers@orvane.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "field spectroscopy workbench")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its X11 platform plugin at run time, so the library scan cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
if(ORVANE_BUILD_PYTHON)
    # The module is built for one version of Debian's python3 and imports its numpy and pandas.
    if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
        set(Python3_EXECUTABLE /usr/bin/python3)
    endif()
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    set(_python "${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}")
    math(EXPR _next "${Python3_VERSION_MINOR} + 1")
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", python3 (>= ${_python}~), "
           "python3 (<< ${Python3_VERSION_MAJOR}.${_next}), python3-numpy, python3-pandas")
endif()
# orvane-db runs a private server, or a lab's (whose certificates openssl makes); a lab with a
# server of its own needs none of them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "mariadb-server, mariadb-client, openssl")
# CPack puts the summary first and indents these lines; an empty line becomes " .".
set(CPACK_PACKAGE_DESCRIPTION
"Orvane imports reflectance spectra of plant species into a MariaDB database,
processes them through a configurable chain (waveband filter, smoothing,
sensor synthesis, derivatives, feature spaces), builds spectral libraries and
classifies, with discriminant analysis, separability, principal components and
linear unmixing.

The package holds the Qt workbench orvane, the command line orvane-cli,
orvane-db, which runs a private MariaDB server per user with the sensor
definitions and a demo study of 149 field spectra, or one for a lab's accounts
over TLS, and the Python module
orvane for Debian's python3 (numpy arrays and pandas DataFrames).")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
