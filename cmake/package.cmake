# Installation and the Debian package: `cmake --install` puts the program, its
# menu entry, icons, software-centre data, manual page and licence text under
# the prefix; `cpack` in the build folder makes wavelift_<version>_<arch>.deb of the same files.
set(WAVELIFT_APP_ID "com.brightmoor.Wavelift" CACHE STRING "Desktop application id: names the menu entry and the software-centre data")
set(WAVELIFT_HOMEPAGE_URL "https://brightmoor.example/wavelift/" CACHE STRING "The program's web page, named by the package and its software-centre data")
set(WAVELIFT_SCREENSHOT_URL "${WAVELIFT_HOMEPAGE_URL}screenshot.png" CACHE STRING
    "Where software centres fetch the published copy of resources/screenshot.png")
set(WAVELIFT_PACKAGE_CONTACT "Brightmoor <wavelift@brightmoor.example>" CACHE STRING "Maintainer of the package")
set(WAVELIFT_RELEASE_DATE "2026-12-09")
set(WAVELIFT_RELEASE_DATE_RFC2822 "Wed, 09 Dec 2026 12:00:00 +0000")

set(CMAKE_INSTALL_DOCDIR "share/doc/wavelift" CACHE PATH "Licence text and change log")
include(GNUInstallDirs)

set(package_dir "${CMAKE_CURRENT_BINARY_DIR}/package")
set(CPACK_PACKAGE_CONTACT "${WAVELIFT_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${WAVELIFT_HOMEPAGE_URL}")
foreach(file wavelift.metainfo.xml wavelift.1 changelog)
  configure_file("resources/linux/${file}.in" "${package_dir}/${file}" @ONLY)
endforeach()
# Manual page and change log compressed as Debian wants them: best ratio, no time stamp.
find_program(GZIP_PROGRAM gzip REQUIRED)
add_custom_command(
  OUTPUT "${package_dir}/wavelift.1.gz" "${package_dir}/changelog.gz"
  COMMAND "${GZIP_PROGRAM}" -9nkf "${package_dir}/wavelift.1" "${package_dir}/changelog"
  DEPENDS "${package_dir}/wavelift.1" "${package_dir}/changelog"
  COMMENT "Compressing the manual page and change log")
add_custom_target(wavelift_package_docs ALL DEPENDS "${package_dir}/wavelift.1.gz" "${package_dir}/changelog.gz")
# Built with the program, so that a build of only the program can be installed and packaged.
add_dependencies(wavelift wavelift_package_docs)

# Fully read-only relocations for the installed program.
target_link_options(wavelift PRIVATE -Wl,-z,relro,-z,now)
install(TARGETS wavelift RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Installed without symbols or the compiler's notes, as Debian ships programs.
install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded --remove-section=.comment --remove-section=.note
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/wavelift\" COMMAND_ERROR_IS_FATAL ANY)")
# Every size scripts/make_icon.py draws.
file(GLOB icon_files CONFIGURE_DEPENDS resources/icons/wavelift-*.png)
foreach(icon ${icon_files})
  string(REGEX REPLACE ".*wavelift-([0-9]+)\\.png$" "\\1" size "${icon}")
  install(FILES "${icon}" DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME wavelift.png)
endforeach()
install(FILES resources/linux/wavelift.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        RENAME ${WAVELIFT_APP_ID}.desktop)
install(FILES "${package_dir}/wavelift.metainfo.xml" DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME ${WAVELIFT_APP_ID}.metainfo.xml)
install(FILES "${package_dir}/wavelift.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES resources/linux/copyright "${package_dir}/changelog.gz" DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wavelift)
set(CPACK_PACKAGE_VENDOR Brightmoor)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keep what the computer plays and drag a region of it out as WAV")
set(CPACK_PACKAGE_DESCRIPTION "Wavelift keeps recording whatever the computer is playing, the mix that goes
to one audio output, into a rolling history of the last 2 to 10 seconds, and
shows it as a live stereo waveform with level meters. Freeze the view, select
a region with the mouse and drag it out of the window: the region becomes a
24-bit stereo WAV file in the save folder, ready to drop on a DAW track, a
folder or the desktop.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends comes from the shared libraries the program links, through dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The interface faces it prefers, and a sound server to record from.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-open-sans, pulseaudio | pipewire-pulse")
# The folder picker and "show in folder" use these when the desktop portal is missing.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "zenity | kdialog, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
