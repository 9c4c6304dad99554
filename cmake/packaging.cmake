# Desktop integration files and the Debian package.
include(GNUInstallDirs)

set(VELUNOR_APP_ID org.velunor.Velunor)
install(FILES ${PROJECT_SOURCE_DIR}/data/${VELUNOR_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/${VELUNOR_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/${VELUNOR_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velunor)
set(CPACK_PACKAGE_VENDOR "Velunor")
set(CPACK_PACKAGE_CONTACT "Velunor developers <dev@velunor.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop front end for the document converter pandoc")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
# Library dependencies come from the binary; pandoc is what it runs; Qt's German texts are
# data, not a library.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "pandoc, qt6-translations-l10n")
# PDF output needs a LaTeX engine, but everything else works without one; lualatex and the
# fonts let "Automatisch" (xelatex, else lualatex) set Greek, Cyrillic, CJK and emoji.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "texlive-latex-recommended, texlive-latex-extra, texlive-fonts-recommended, lmodern, texlive-xetex, texlive-luatex, fonts-dejavu-extra, fonts-noto-cjk, fonts-symbola")
include(CPack)
