# Installed layout and the Debian package:
#   bin/kxToneScopePreview, <libdir>/libkxSystem.so, share/kxToneScope/Translations,
#   share/applications/com.kexar.kxToneScope.desktop (also the rtsp:// handler),
#   share/metainfo/com.kexar.kxToneScope.metainfo.xml,
#   share/icons/hicolor/<N>x<N>/apps and scalable/apps.
# `cmake --install build/plain --prefix DIR` installs; `cpack -G DEB` in the
# build folder makes the package, its dependencies found by dpkg-shlibdeps.
include(GNUInstallDirs)
set(kx_desktop_id com.kexar.kxToneScope)
set(kx_desktop_dir ${PROJECT_SOURCE_DIR}/resources/desktop)
set(kx_images_dir ${PROJECT_SOURCE_DIR}/resources/images)

if(TARGET kxToneScopePreview)
  # The program finds libkxSystem.so in the library folder beside its own bin/.
  file(RELATIVE_PATH kx_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
  set_target_properties(kxToneScopePreview PROPERTIES INSTALL_RPATH "$ORIGIN/${kx_bin_to_lib}")
  install(TARGETS kxToneScopePreview RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS kxSystem LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})

  install(FILES ${kx_desktop_dir}/${kx_desktop_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  configure_file(${kx_desktop_dir}/${kx_desktop_id}.metainfo.xml.in
                 ${PROJECT_BINARY_DIR}/${kx_desktop_id}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${kx_desktop_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${kx_images_dir}/app_icon_${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${kx_desktop_id}.png)
  endforeach()
  install(FILES ${kx_images_dir}/kxToneScope.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${kx_desktop_id}.svg)
endif()

set(CPACK_PACKAGE_NAME kxtonescope)
set(CPACK_PACKAGE_VENDOR "${KX_COMPANY_NAME}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Check the sound and picture of an IP camera over RTSP")
set(CPACK_PACKAGE_INSTALL_DIRECTORY kxToneScope)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KX_COMPANY_NAME} <support@kexar.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KX_MAKER_SITE}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Sound and picture check of IP cameras
 kxToneScope opens the RTSP stream of an IP camera, plays its sound on the
 output device you choose and draws a peak meter, a waveform and a spectrum
 over the live picture.")
# Library dependencies come from dpkg-shlibdeps; the package's own library is
# found in the staging tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${CMAKE_INSTALL_FULL_LIBDIR}")
# Qt loads its platform plugin at run time, which dpkg-shlibdeps cannot see.
# The canvas uses Qt's private paint-engine interface, which holds only for
# the Qt it was built against.
find_package(Qt6 REQUIRED COMPONENTS Core)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-base-abi (= ${Qt6Core_VERSION})")
# Qt's own texts (Yes/No, the colour and folder dialogs) in the user's
# language; an install without recommends still runs, in English there.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
# Only the program's own files: no test or benchmark helpers.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/")
include(CPack)
