# Manual pages and the package's documentation files. The batch tool's manual page is made from its
# own --help and --version texts (tools/gen_manpage.py), with the sections those texts lack
# (description, exit codes, environment, files) from docs/man/quirabel-batch.sections, so the page
# cannot drift from the program; the windowed programs take no options and have pages of their own
# in docs/man/.
include(GNUInstallDirs)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(QUIRABEL_GZIP gzip REQUIRED)

set(man_dir ${CMAKE_BINARY_DIR}/man)
set(man_pages)
function(quirabel_gzip_man source)
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${man_dir}/${name}.gz
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
                     COMMAND ${QUIRABEL_GZIP} -9nc ${source} > ${man_dir}/${name}.gz
                     DEPENDS ${source} VERBATIM)
  set(man_pages ${man_pages} ${man_dir}/${name}.gz PARENT_SCOPE)
endfunction()

if(TARGET quirabel-batch)
  add_custom_command(
    OUTPUT ${man_dir}/quirabel-batch.1
    COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/gen_manpage.py
            $<TARGET_FILE:quirabel-batch>
            "Projekte, PDF-Export, Serien-PDF und E-Mail von Quirabel ohne Bildschirm"
            ${PROJECT_SOURCE_DIR}/docs/man/quirabel-batch.sections ${man_dir}/quirabel-batch.1
            ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
    DEPENDS quirabel-batch ${PROJECT_SOURCE_DIR}/tools/gen_manpage.py
            ${PROJECT_SOURCE_DIR}/docs/man/quirabel-batch.sections
            ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
    VERBATIM)
  quirabel_gzip_man(${man_dir}/quirabel-batch.1)
endif()
foreach(program quirabel quirabel-link quirabel-mail)
  if(TARGET ${program})
    quirabel_gzip_man(${PROJECT_SOURCE_DIR}/docs/man/${program}.1)
  endif()
endforeach()
add_custom_target(manual_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package's copyright file and changelog.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.Debian.gz
                   COMMAND ${QUIRABEL_GZIP} -9nc ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
                           > ${CMAKE_BINARY_DIR}/changelog.Debian.gz
                   DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${CMAKE_BINARY_DIR}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quirabel)

# The help page comes with the program, in the desktop's folder of German help pages beside the
# programs' folder (share/help/de/quirabel), in the build as in the package; the designer reads it
# from there.
if(TARGET quirabel)
  configure_file(${PROJECT_SOURCE_DIR}/docs/help/start.html
                 ${CMAKE_BINARY_DIR}/share/help/de/quirabel/start.html COPYONLY)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/help/start.html
          DESTINATION ${CMAKE_INSTALL_DATADIR}/help/de/quirabel)
endif()

# AppStream metadata, for software centres.
if(TARGET quirabel)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/appstream/org.example.quirabel.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# Completion of the batch tool's commands, options and files in bash; the thumbnailer entry that
# lets file managers show page 1 of a project.
if(TARGET quirabel-batch)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/desktop/quirabel.thumbnailer
          DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/completion/quirabel-batch.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME quirabel-batch)
endif()
