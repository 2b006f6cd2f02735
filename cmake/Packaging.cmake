# Installing Quillet (GNUInstallDirs) and its Debian package (cpack -G DEB in a
# release build folder). Included last, when every program target exists.
include(GNUInstallDirs)

set(QUILLET_WEB_URL "https://quillet.invalid" CACHE STRING
    "Where the project's pages are published (AppStream homepage; screenshots under docs/screenshots/)")
set(QUILLET_MAINTAINER "Quillet maintainers <maintainers@quillet.invalid>")
set(QUILLET_DEBIAN_REVISION 1)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_out ${PROJECT_BINARY_DIR}/packaging)
set(quillet_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillet)

# The programs and their manual pages. Every page is built, so that scdoc checks
# it; a page is installed with its program.
find_program(SCDOC scdoc REQUIRED)
set(installed_programs "")
set(man_pages "")
foreach(program quillet quillet-sim quillet-grab)
  set(page_source ${PROJECT_SOURCE_DIR}/docs/man/${program}.1.scd)
  set(page ${packaging_out}/man/${program}.1.gz)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_out}/man
    COMMAND ${CMAKE_COMMAND} -DSCDOC=${SCDOC} -DINPUT=${page_source} -DOUTPUT=${page} -DVERSION=${PROJECT_VERSION}
            -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    DEPENDS ${page_source} ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    VERBATIM)
  list(APPEND man_pages ${page})
  if(TARGET ${program})
    list(APPEND installed_programs ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()
add_custom_target(quillet_man_pages ALL DEPENDS ${man_pages})

# The menu entry, its icon and the AppStream data, with the desktop program.
if(TARGET quillet)
  list(TRANSFORM installed_programs REPLACE "(.+)" "    <binary>\\1</binary>" OUTPUT_VARIABLE provided)
  list(JOIN provided "\n" QUILLET_PROVIDED_BINARIES)
  configure_file(${packaging_dir}/quillet.desktop.in ${packaging_out}/${QUILLET_APP_ID}.desktop @ONLY)
  configure_file(${packaging_dir}/quillet.metainfo.xml.in ${packaging_out}/${QUILLET_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${packaging_out}/${QUILLET_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  install(FILES ${packaging_out}/${QUILLET_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)

  # The PNG sizes are drawn from the one SVG at build time, so they cannot drift apart.
  find_program(RSVG_CONVERT rsvg-convert REQUIRED)
  set(icon_svg ${packaging_dir}/quillet.svg)
  set(icons "")
  foreach(size 16 22 24 32 48 64 128 256)
    set(icon ${packaging_out}/icons/${size}/${QUILLET_APP_ID}.png)
    add_custom_command(
      OUTPUT ${icon}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_out}/icons/${size}
      COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${icon} ${icon_svg}
      DEPENDS ${icon_svg}
      VERBATIM)
    list(APPEND icons ${icon})
    install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(quillet_icons ALL DEPENDS ${icons})
  install(FILES ${icon_svg} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps
          RENAME ${QUILLET_APP_ID}.svg)
endif()

# The package's own documents: its copyright and its changelog.
set(changelog ${packaging_dir}/debian/changelog)
file(STRINGS ${changelog} changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^quillet \\(${QUILLET_VERSION_PATTERN}-${QUILLET_DEBIAN_REVISION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog: the top entry must be for "
                      "${PROJECT_VERSION}-${QUILLET_DEBIAN_REVISION}, found: ${changelog_head}")
endif()
file(STRINGS ${packaging_dir}/quillet.metainfo.xml.in newest_release REGEX "<release " LIMIT_COUNT 1)
if(NOT newest_release MATCHES "version=\"${QUILLET_VERSION_PATTERN}\"")
  message(FATAL_ERROR "packaging/quillet.metainfo.xml.in: the newest release must be ${PROJECT_VERSION}")
endif()
set(changelog_gz ${packaging_out}/changelog.Debian.gz)
add_custom_command(
  OUTPUT ${changelog_gz}
  COMMAND sh -c "gzip -9 -n -c \"$1\" > \"$2\"" gzip ${changelog} ${changelog_gz}
  DEPENDS ${changelog}
  VERBATIM)
add_custom_target(quillet_changelog ALL DEPENDS ${changelog_gz})
install(FILES ${packaging_dir}/debian/copyright ${changelog_gz} DESTINATION ${quillet_docdir})

# cpack -G DEB
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR "Quillet developers")
set(CPACK_PACKAGE_CONTACT "${QUILLET_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "books a seat on a wanted 12306 train the moment one becomes free")
# The summary above is the synopsis line; this is the long description under it.
set(CPACK_PACKAGE_DESCRIPTION
    "Quillet is a desktop program for the 12306 railway booking service. After
signing in (account, password and picture captcha) you list the trains of a
day, turn trains into wishes (train, passenger, ticket type and the seat
classes you accept, in order of preference) and start grabbing: one worker
per wish queries again and again and orders as soon as a wanted class has
tickets, until a ticket is booked or must be checked by hand.
.
The package also holds quillet-grab, the same grabber for a terminal, which
follows a plan file on an always-on machine without a display, and
quillet-sim, a rehearsal booking service on loopback with a ticket stock that
changes over time, so that a grab can be practised before the real sale. Each
program has a manual page.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLET_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QUILLET_DEBIAN_REVISION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Libraries as dpkg-shlibdeps finds them in the programs, and the window's CJK font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
