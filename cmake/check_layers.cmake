cmake_minimum_required(VERSION 3.25)
# Build-time check of the layer table (layers.cmake): every quoted include
# of a layered source file must name a file of its own layer or of a layer
# it may include. Run as
#   cmake -DSOURCE_DIR=<repository> -DSTAMP=<file> -P check_layers.cmake
# Fails (and leaves no stamp) on the first wrong-way include, naming it.
include("${CMAKE_CURRENT_LIST_DIR}/layers.cmake")

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}"
  "${SOURCE_DIR}/plugin/*.h" "${SOURCE_DIR}/plugin/*.cpp"
  "${SOURCE_DIR}/platform/*.h" "${SOURCE_DIR}/platform/*.cpp"
  "${SOURCE_DIR}/ui/*.h" "${SOURCE_DIR}/ui/*.cpp"
  "${SOURCE_DIR}/analysis/*.h" "${SOURCE_DIR}/analysis/*.cpp"
  "${SOURCE_DIR}/planning/*.h" "${SOURCE_DIR}/planning/*.cpp"
  "${SOURCE_DIR}/render/*.h" "${SOURCE_DIR}/render/*.cpp"
  "${SOURCE_DIR}/host/*.h" "${SOURCE_DIR}/host/*.cpp"
  "${SOURCE_DIR}/tools/*.h" "${SOURCE_DIR}/tools/*.cpp")

set(errors "")
# The table itself must stay one-way: no two layers may include each other.
set(layers interface schema platform common ui analysis render planning filter host tools)
foreach(lower IN LISTS layers)
  foreach(upper IN LISTS QV_MAY_INCLUDE_${lower})
    if("${lower}" IN_LIST QV_MAY_INCLUDE_${upper})
      string(APPEND errors "  layers.cmake: ${lower} and ${upper} may include each other\n")
    endif()
  endforeach()
endforeach()

foreach(source IN LISTS sources)
  qv_layer_of("${source}" layer)
  if(DEFINED "QV_MAY_INCLUDE_${source}")
    set(allowed ${QV_MAY_INCLUDE_${source}})
  else()
    set(allowed ${QV_MAY_INCLUDE_${layer}})
  endif()
  file(STRINGS "${SOURCE_DIR}/${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" included "${line}")
    if(included MATCHES "\\.\\./")
      string(APPEND errors "  ${source}: #include \"${included}\": name headers from the repository root\n")
      continue()
    endif()
    qv_layer_of("${included}" target)
    if(target STREQUAL "" OR target STREQUAL layer)
      continue()
    endif()
    list(FIND allowed "${target}" position)
    if(position EQUAL -1)
      string(REPLACE ";" ", " allowedText "${allowed}")
      if(allowedText STREQUAL "")
        set(allowedText "nothing but itself")
      endif()
      string(APPEND errors
        "  ${source} (layer ${layer}) includes ${included} (layer ${target}); "
        "${layer} may include: ${allowedText}\n")
    endif()
  endforeach()
endforeach()

if(NOT errors STREQUAL "")
  message(FATAL_ERROR "Wrong-way includes between layers (see cmake/layers.cmake):\n${errors}")
endif()
file(TOUCH "${STAMP}")
