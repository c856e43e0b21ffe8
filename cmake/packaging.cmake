# The Debian package: "cpack -G DEB" in the build folder makes quirabel_<version>-2_amd64.deb from
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
# A Debian revision of our own (the first entry of cmake/debian/changelog): the package is not
# native, its changelog is changelog.Debian.gz.
set(CPACK_DEBIAN_PACKAGE_RELEASE 2)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The libraries the programs link come from dpkg-shlibdeps; what they load or use without
# linking is named: the Qt platform plugins (only recommended by Qt), Qt's German texts for its
# own dialogs (the file dialog, the buttons of message boxes) and the fonts: Liberation for the
# screen and for text the PDF embeds, DejaVu for scripts Liberation lacks. xdg-open opens PDF
# files in the desktop's viewer.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-translations-l10n, fonts-liberation, fonts-liberation2, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# As Debian's own packages are stripped: after CPack's strip, the compilers' and the linker's
# version notes (.comment) and the .note section leave the programs and modules. Install rules run
# in the order they were given, so this one runs after every program and module is in place.
install(CODE "set(quirabel_objcopy \"${CMAKE_OBJCOPY}\")")
install(CODE [[
  if(CMAKE_INSTALL_DO_STRIP)
    file(GLOB_RECURSE quirabel_elf_files "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin/*"
         "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/lib/*.so")
    foreach(file ${quirabel_elf_files})
      execute_process(COMMAND ${quirabel_objcopy} --remove-section=.comment --remove-section=.note
                              ${file} RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR "objcopy failed on ${file}")
      endif()
    endforeach()
  endif()
]])
include(CPack)
