# Fails when a source file includes a folder that its own folder may not use, so that the
# layers of src/ only ever point down. Run as: cmake -DROOT=<src folder> -P CheckLayers.cmake
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
set(_allowed_export base store spectra chain study stats)
set(_allowed_plot base store spectra chain study stats)
set(_allowed_forms base store spectra chain study stats export plot)
set(_allowed_cli base store spectra chain study stats export plot forms)
set(_allowed_ui base store spectra chain study stats export plot forms)
set(_layers base store spectra chain study stats export plot forms cli ui)

# Includes that still point up while the band container learns to work without the session.
set(_pending
    "spectra/band_vector.cpp -> chain"
    "spectra/spectrum.cpp -> chain")

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
            if(_target STREQUAL _layer OR NOT _target IN_LIST _layers)
                continue()
            endif()
            if(NOT _target IN_LIST _allowed_${_layer}
               AND NOT "${_file} -> ${_target}" IN_LIST _pending)
                list(APPEND _faults "${_file}: ${_layer}/ may not include ${_target}/ (${_line})")
            endif()
        elseif(_line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]*)" AND NOT _layer STREQUAL "ui")
            list(APPEND _faults "${_file}: only ui/ may include Qt (${_line})")
        endif()
    endforeach()
endforeach()

if(_faults)
    list(JOIN _faults "\n  " _text)
    message(FATAL_ERROR "Includes against the layers of src/ (see src/README.md):\n  ${_text}")
endif()
