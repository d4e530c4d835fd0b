# Desktop integration files and the Debian package (`make package`, built by CPack in
# build-package/ with the /usr prefix). dpkg-shlibdeps works out the library dependencies from
# the program itself, so the list below only names what is used at run time without linking.
include(GNUInstallDirs)

set(QUORVEL_APP_ID org.quorvel.Zodovuvur)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${QUORVEL_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${QUORVEL_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The type of settings bundles; dpkg's shared-mime-info trigger adds it to the database.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${QUORVEL_APP_ID}.mime.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${QUORVEL_APP_ID}.xml)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${QUORVEL_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# udev and systemd read these under the prefix's lib, not the multiarch library folder.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/70-quorvel.rules
  DESTINATION ${CMAKE_INSTALL_PREFIX}/lib/udev/rules.d)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/quorvel.service
  DESTINATION ${CMAKE_INSTALL_PREFIX}/lib/systemd/user)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Quorvel")
set(CPACK_PACKAGE_CONTACT "Quorvel developers <developers@quorvel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "artwork and actions for Mountain DisplayPad and MSD-TWO macro pads")
set(CPACK_PACKAGE_DESCRIPTION
  "Drives the Mountain DisplayPad (twelve LCD keys) and the MSD-TWO (six LCD screen buttons, \
three dials, three round buttons): paints artwork on their keys and runs the action bound to \
every key press and dial step.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Qt plugins for SVG artwork and further image formats are loaded, not linked.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio-utils | pipewire-pulse")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_SOURCE_DIR}/packaging/debian/postinst ${CMAKE_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
