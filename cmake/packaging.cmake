# The Debian package: "cpack -G DEB" in the build folder makes quirabel_<version>-1_amd64.deb from
# the install rules (the programs, their manual pages, the desktop entry, the MIME type of projects,
# the icon, the cluster job script, the copyright file and the changelog).
set(CPACK_PACKAGE_NAME quirabel)
set(CPACK_PACKAGE_VENDOR "Quirabel-Team")
set(CPACK_PACKAGE_CONTACT "Quirabel-Team <quirabel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "designer for business cards, flyers and folded cards")
# Lines of the extended description stay within 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Quirabel places text lines, text fields, rectangles, lines and pictures on\n"
    "pages from A4 to A6 or of free size, saves them as .kxp projects and exports\n"
    "them as PDF. quirabel-batch does the same jobs without a display, and prints\n"
    "serial PDFs from CSV files. The user interface is German.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A Debian revision of our own: the package is not native, its changelog is changelog.Debian.gz.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The libraries the programs link come from dpkg-shlibdeps; what they load or use without
# linking is named: the Qt platform plugins (only recommended by Qt) and the fonts: Liberation
# for the screen and for text the PDF embeds, DejaVu for scripts Liberation lacks.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation, fonts-liberation2, fonts-dejavu-core")
include(CPack)
