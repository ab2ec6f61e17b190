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
# Stripped by the debug-symbol split, which keeps the symbols in nivo-dbgsym.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
# Named as their source on both packages, so that tools see them as one build.
set(CPACK_DEBIAN_PACKAGE_SOURCE nivo)
set(CPACK_OBJCOPY_EXECUTABLE ${CMAKE_CURRENT_LIST_DIR}/strip-like-debian.sh)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PolishPackages.cmake)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own French texts (« Annuler » in its dialogs) and its further image formats.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS qt6-image-formats-plugins)

# Compressed with gzip -9n, as Debian wants manual pages and changelogs.
function(nivo_gzip file target)
  add_custom_command(OUTPUT ${file}.gz COMMAND gzip -9nkf ${file} DEPENDS ${file})
  add_custom_target(${target} ALL DEPENDS ${file}.gz)
endfunction()

# The manual pages, French and English, are part of every install, and so of the package.
foreach(language fr en)
  set(page ${CMAKE_CURRENT_BINARY_DIR}/man/${language}/nivo.1)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/nivo.${language}.1.in ${page} @ONLY)
  nivo_gzip(${page} nivo_manual_${language})
endforeach()
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/man/fr/nivo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/fr/man1)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/man/en/nivo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# What Debian asks of every package's documentation folder; not part of a
# plain `cmake --install`, only of the package.
set(debian_doc ${CMAKE_CURRENT_BINARY_DIR}/debian-doc)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.Debian.in ${debian_doc}/changelog.Debian @ONLY)
nivo_gzip(${debian_doc}/changelog.Debian nivo_debian_doc)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${debian_doc}/changelog.Debian.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/nivo COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
  RENAME nivo COMPONENT debian EXCLUDE_FROM_ALL)
# The package holds both: what every install installs, then those documents.
set(CPACK_INSTALL_CMAKE_PROJECTS ${CMAKE_BINARY_DIR} ${PROJECT_NAME} ALL / ${CMAKE_BINARY_DIR} ${PROJECT_NAME} debian /)

include(CPack)
