# The catalogues of quillet-grab's and quillet-sim's messages (GNU gettext):
# po/<language>.po compiled with msgfmt into the build tree's locale folder,
# where the programs find them when run from the build tree, and installed
# under share/locale.
include(GNUInstallDirs)
find_program(MSGFMT msgfmt REQUIRED)

set(QUILLET_LANGUAGES zh_CN)
set(QUILLET_BUILD_LOCALEDIR ${PROJECT_BINARY_DIR}/locale)
set(catalogues "")
foreach(language ${QUILLET_LANGUAGES})
  set(po ${PROJECT_SOURCE_DIR}/po/${language}.po)
  set(mo ${QUILLET_BUILD_LOCALEDIR}/${language}/LC_MESSAGES/quillet.mo)
  add_custom_command(
    OUTPUT ${mo}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILLET_BUILD_LOCALEDIR}/${language}/LC_MESSAGES
    COMMAND ${MSGFMT} --check --output-file=${mo} ${po}
    DEPENDS ${po}
    VERBATIM)
  list(APPEND catalogues ${mo})
  install(FILES ${mo} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${language}/LC_MESSAGES)
endforeach()
add_custom_target(quillet_translations ALL DEPENDS ${catalogues})
