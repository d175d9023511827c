# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a source file includes a folder that its own folder may not use, so that the
# layers of src/ only ever point down, and when the database client's headers appear outside
# store/'s sources, so that no header the faces include can bring them in, and when a source
# outside store/ formats or runs a statement itself instead of calling a repository of store/.
# Run as: cmake -DROOT=<src folder> -P CheckLayers.cmake
cmake_minimum_required(VERSION 3.22)

if(NOT ROOT)
    message(FATAL_ERROR "CheckLayers: pass -DROOT=<folder holding the layer folders>")
endif()
get_filename_component(ROOT "${ROOT}" ABSOLUTE)

set(_allowed_base "")
set(_allowed_store base)
set(_allowed_spectra base store)
set(_allowed_chain base store spectra)
set(_allowed_study base store spectra chain)
set(_allowed_stats base store spectra chain study)
set(_allowed_imagery base store spectra chain study stats)
set(_allowed_export base store spectra chain study stats imagery)
set(_allowed_plot base store spectra chain study stats imagery)
set(_allowed_forms base store spectra chain study stats imagery export plot)
set(_allowed_cli base store spectra chain study stats imagery export plot forms)
set(_allowed_ui base store spectra chain study stats imagery export plot forms)
set(_layers base store spectra chain study stats imagery export plot forms cli ui)

set(_faults "")
file(GLOB_RECURSE _files RELATIVE "${ROOT}" "${ROOT}/*.h" "${ROOT}/*.cpp")
foreach(_file IN LISTS _files)
    string(REGEX MATCH "^[^/]+" _layer "${_file}")
    if(NOT _layer IN_LIST _layers)
        if(_file MATCHES "/")
            list(APPEND _faults "${_file}: folder '${_layer}' has no place in the layers")
        endif()
        continue()
    endif()
    file(STRINGS "${ROOT}/${_file}" _lines REGEX "^[ \t]*#[ \t]*include")
    foreach(_line IN LISTS _lines)
        if(_line MATCHES "#[ \t]*include[ \t]*\"([^/\"]+)/")
            set(_target "${CMAKE_MATCH_1}")
            if(_target STREQUAL "store" AND NOT _layer STREQUAL "store"
               AND _line MATCHES "_internal\\.h")
                list(APPEND _faults "${_file}: ${_line} is for store/ alone")
            endif()
            if(_target STREQUAL _layer OR NOT _target IN_LIST _layers)
                continue()
            endif()
            if(NOT _target IN_LIST _allowed_${_layer})
                list(APPEND _faults "${_file}: ${_layer}/ may not include ${_target}/ (${_line})")
            endif()
        elseif(_line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]*)" AND NOT _layer STREQUAL "ui")
            list(APPEND _faults "${_file}: only ui/ may include Qt (${_line})")
        elseif(_line MATCHES "#[ \t]*include[ \t]*<(mysql|mariadb|errmsg|mysqld_error)[./]")
            # A header of store/ may hold them only when it is named *_internal.h, which
            # nothing outside store/ includes.
            if(NOT _layer STREQUAL "store"
               OR (_file MATCHES "\\.h$" AND NOT _file MATCHES "_internal\\.h$"))
                list(APPEND _faults
                     "${_file}: only store/ sources may include the database client (${_line})")
            endif()
        endif()
    endforeach()
    if(NOT _layer STREQUAL "store")
        # Statements are written and run in store/ alone; the other floors hand the connection
        # to a repository and may only open a Transaction around its calls. Comments are not
        # code, so a line's comment is dropped before it is judged.
        file(STRINGS "${ROOT}/${_file}" _lines
             REGEX "(Sql|Execute|Query|QueryInt|QueryInt64|QueryText|FindOrInsert|WriteBlob)[ \t]*\\(|Statement|ResultSet")
        foreach(_line IN LISTS _lines)
            string(REGEX REPLACE "//.*$" "" _code "${_line}")
            string(REPLACE ";" "" _code "${_code}")
            string(STRIP "${_code}" _code)
            if(_code MATCHES "(^|[^A-Za-z0-9_])Sql[ \t]*\\("
               OR _code MATCHES "(\\.|->)[ \t]*(Execute|Query|QueryInt|QueryInt64|QueryText|FindOrInsert|WriteBlob)[ \t]*\\("
               OR _code MATCHES "(^|[^A-Za-z0-9_])(Statement|ResultSet)([^A-Za-z0-9_]|$)")
                list(APPEND _faults
                     "${_file}: only store/ may run statements, through its repositories (${_code})")
            endif()
        endforeach()
    endif()
endforeach()

if(_faults)
    list(JOIN _faults "\n  " _text)
    message(FATAL_ERROR "Code against the layers of src/ (see src/README.md):\n  ${_text}")
endif()
