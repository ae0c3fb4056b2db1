# The program's icon files as platform/program_icon.h names them, the large
# one first: PROGRAM_ICON_FILES, full paths under resources/. A change to the
# header configures the build anew.
set(program_icon_header ${CMAKE_SOURCE_DIR}/platform/program_icon.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${program_icon_header})
set(PROGRAM_ICON_FILES "")
foreach(name PROGRAM_ICON PROGRAM_ICON_SMALL)
  file(STRINGS ${program_icon_header} line REGEX "^#define ${name} [0-9]+$")
  if(NOT line MATCHES "([0-9]+)$")
    message(FATAL_ERROR "${program_icon_header} names no ${name}")
  endif()
  list(APPEND PROGRAM_ICON_FILES ${CMAKE_SOURCE_DIR}/resources/picture${CMAKE_MATCH_1}.ico)
endforeach()
