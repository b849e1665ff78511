# One static library per subsystem folder. The sources of a folder are picked up
# by pattern so that adding a class pair needs no edit here.
#   vrim_library(NAME <target> DIR <folder> [GUI] LINKS <targets...>)
# GUI libraries take every *.cpp of the folder; engine libraries skip the folder's
# gui/ subfolder so that they never pull in a widget.
function(vrim_library)
  cmake_parse_arguments(ARG "" "NAME;DIR" "LINKS;EXCLUDE" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
  file(GLOB _hdr CONFIGURE_DEPENDS ${ARG_DIR}/*.h)
  foreach(_ex IN LISTS ARG_EXCLUDE)
    list(FILTER _src EXCLUDE REGEX "${_ex}")
    list(FILTER _hdr EXCLUDE REGEX "${_ex}")
  endforeach()
  if(_src)
    add_library(${ARG_NAME} STATIC ${_src} ${_hdr})
    target_include_directories(${ARG_NAME} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${ARG_NAME} PUBLIC ${ARG_LINKS})
  else()
    add_library(${ARG_NAME} INTERFACE)
    target_include_directories(${ARG_NAME} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${ARG_NAME} INTERFACE ${ARG_LINKS})
  endif()
endfunction()
