# The Debian package: `cpack -G DEB` in the build folder packages what
# `cmake --install` installs, into /usr, with dependencies computed from the
# binaries by dpkg-shlibdeps (dpkg-dev).
include(GNUInstallDirs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nivo)
set(CPACK_PACKAGE_VENDOR Lumivex)
set(CPACK_PACKAGE_CONTACT "Lumivex <nivo@lumivex.fr>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "explorateur de l'ensemble de Mandelbrot")
set(CPACK_PACKAGE_DESCRIPTION [=[
Nivo dessine l'ensemble de Mandelbrot à la taille de sa fenêtre et permet
de l'explorer : un clic recentre la vue et l'agrandit, la barre d'état donne
les coordonnées sous le pointeur, et les vues précédentes restent à portée
d'« Annuler ». La limite d'itérations, le centre et le zoom se règlent dans
un dialogue.
.
L'image s'exporte en PNG, JPEG ou BMP, ou en courte vidéo AVI, et s'imprime.
« nivo --render » calcule une image sans fenêtre ni écran.]=])
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own French texts (« Annuler » in its dialogs) and its further image formats.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS qt6-image-formats-plugins)

# What Debian asks of every package's documentation folder; not part of a
# plain `cmake --install`, only of the package.
set(debian_doc ${CMAKE_CURRENT_BINARY_DIR}/debian-doc)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.Debian.in ${debian_doc}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${debian_doc}/changelog.Debian.gz
  COMMAND gzip -9nkf ${debian_doc}/changelog.Debian
  DEPENDS ${debian_doc}/changelog.Debian)
add_custom_target(nivo_debian_doc ALL DEPENDS ${debian_doc}/changelog.Debian.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${debian_doc}/changelog.Debian.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/nivo COMPONENT debian EXCLUDE_FROM_ALL)
set(CPACK_INSTALL_CMAKE_PROJECTS ${CMAKE_BINARY_DIR} ${PROJECT_NAME} ALL / ${CMAKE_BINARY_DIR} ${PROJECT_NAME} debian /)

include(CPack)
