# The Debian package: "cpack -G DEB" in the build folder packs what "cmake --install" lays out,
# under /usr, with the dependencies dpkg-shlibdeps finds in the programs. Its maintainer scripts
# refresh the desktop's MIME, desktop-entry and icon caches.
set(CPACK_PACKAGE_NAME solvane)
set(CPACK_PACKAGE_VENDOR "Solvane")
set(CPACK_PACKAGE_CONTACT "Solvane Viewer <viewer@solvane.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for 3D models of many formats")
set(CPACK_PACKAGE_DESCRIPTION
  "Solvane Viewer opens 3D models of many modelling packages and games (Wavefront OBJ, 3D Studio,
LightWave, AutoCAD DXF, Quake MDL/MD2/MD3, trueSpace, DirectX, VTK, PLY, GeomView OFF,
WorldToolKit NFF, Rhino 3DM, Stereo CAD-3D, Power Render, L3D and its own files) and shows them in
an interactive OpenGL view. The package also holds solvane-cli, which reads, describes, renders and
thumbnails models without a window, and the reference usage-reporting server.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://solvane.example/viewer/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time rather than linked: Mesa's drivers (the software rasteriser included), which
# both the window and the headless renderer need.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, hicolor-icon-theme, qt6-qpa-plugins")
configure_file(${CMAKE_CURRENT_LIST_DIR}/postinst.in ${CMAKE_BINARY_DIR}/packaging/postinst @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/postrm.in ${CMAKE_BINARY_DIR}/packaging/postrm @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/postinst ${CMAKE_BINARY_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_GENERATOR DEB)
include(CPack)
