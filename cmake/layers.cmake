# The layers of the filter and who may include whom. Each layer is a folder;
# plugin/ holds the host interface header itself and two layers in
# subfolders, the common layer (plugin/common/) at the bottom and the filter
# layer (plugin/filter/) at the top. A file may include its own layer and the
# layers listed for it, nothing else, so no two folders include each other.
# Tests and benchmarks reach into every layer and are not listed.
#
# Kept in one place because two readers need it: the build-time check
# (check_layers.cmake) and the library definitions, whose link dependencies
# follow the same table.

# Layer of a repository-relative path; empty for paths outside the layers.
function(qv_layer_of path outVar)
  if(path MATCHES "^plugin/[^/]+$")
    set(layer interface)
  elseif(path STREQUAL "plugin/common/settings_schema.h")
    set(layer schema)
  elseif(path MATCHES "^plugin/common/")
    set(layer common)
  elseif(path MATCHES "^plugin/filter/")
    set(layer filter)
  elseif(path MATCHES "^(platform|ui|analysis|planning|render|host|tools)/")
    set(layer "${CMAKE_MATCH_1}")
  else()
    set(layer "")
  endif()
  set(${outVar} "${layer}" PARENT_SCOPE)
endfunction()

# Bottom to top. The interface header names only the host's plain records, so
# it sits below everything that draws on them; platform/ knows nothing of
# the filter. planning/ and render/ are siblings: what they share (the frame
# plan, fixed-point coordinates, geometry) is common.
# The settings schema's header is a layer of its own at the bottom: it
# describes the settings string (names, positions, ranges, dialog texts),
# which the host reads as well as the module; its table is common code.
set(QV_MAY_INCLUDE_interface "")
set(QV_MAY_INCLUDE_schema "")
set(QV_MAY_INCLUDE_platform "")
set(QV_MAY_INCLUDE_common schema interface platform)
set(QV_MAY_INCLUDE_ui common schema interface platform)
set(QV_MAY_INCLUDE_analysis common schema interface platform)
set(QV_MAY_INCLUDE_render common schema interface platform)
set(QV_MAY_INCLUDE_planning ui common schema interface platform)
set(QV_MAY_INCLUDE_filter analysis planning render ui common schema interface platform)
# The host drives the module through its exports and callbacks only; what it
# knows of the settings comes from the schema.
set(QV_MAY_INCLUDE_host schema interface platform)
set(QV_MAY_INCLUDE_tools platform)
# Except the plan command, which runs the planner in process, and the log
# check, which reads a log with the filter's own reader before pass 2 does.
set(QV_MAY_INCLUDE_host/plan_command.cpp planning ui common schema interface platform)
set(QV_MAY_INCLUDE_host/log_check.cpp planning common schema interface platform)
# The raw-frame host drives the module through its exports, like the host.
set(QV_MAY_INCLUDE_tools/rawhost/raw_host.cpp interface)
