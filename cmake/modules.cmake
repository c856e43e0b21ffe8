# Modules: shared objects of our own that carry a heavy library (libcurl for sending mail,
# poppler-cpp for drawing a PDF page), opened by the programs on first use (src/base/module.h) so
# that every other command starts without that library. The build puts them into lib/quirabel/
# beside bin/, the package into a private folder of the library directory; the programs look in
# both, relative to their own folder.
include(GNUInstallDirs)
# The package's folder is /usr/lib/<multiarch>/quirabel whatever prefix was configured (the
# package is made for /usr): a folder of its own below the multiarch one, which ldconfig does not
# look at, so the package needs no ldconfig call.
set(QUIRABEL_MODULE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR})
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT CMAKE_INSTALL_LIBDIR MATCHES "/${CMAKE_LIBRARY_ARCHITECTURE}$")
  string(APPEND QUIRABEL_MODULE_INSTALL_DIR /${CMAKE_LIBRARY_ARCHITECTURE})
endif()
string(APPEND QUIRABEL_MODULE_INSTALL_DIR /quirabel)
set(QUIRABEL_MODULE_OUTPUT_DIR ${CMAKE_BINARY_DIR}/lib/quirabel)
file(RELATIVE_PATH QUIRABEL_MODULE_DIR_FROM_PROGRAM ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${QUIRABEL_MODULE_INSTALL_DIR})
file(RELATIVE_PATH QUIRABEL_BUILD_MODULE_DIR_FROM_PROGRAM ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
     ${QUIRABEL_MODULE_OUTPUT_DIR})

# quirabel_add_module(<target> <file name without .so> <sources>...): the entry function alone is
# visible; all else the module needs must come from the libraries it links.
function(quirabel_add_module target file)
  add_library(${target} MODULE ${ARGN})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${file}
                        LIBRARY_OUTPUT_DIRECTORY ${QUIRABEL_MODULE_OUTPUT_DIR}
                        CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  # The sanitizers' runtime is the program's, so a sanitized module leaves its names open.
  if(NOT QUIRABEL_SANITIZE AND NOT QUIRABEL_FUZZ)
    target_link_options(${target} PRIVATE LINKER:--no-undefined)
  endif()
  # A module that calls nothing of the C library itself still names it, as every shared library
  # of a package must.
  target_link_options(${target} PRIVATE "LINKER:--push-state,--no-as-needed,-lc,--pop-state")
  target_link_libraries(${target} PRIVATE quirabel_warnings)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  # Read-only like any shared library; no ldconfig: nothing links them by name.
  install(TARGETS ${target} LIBRARY DESTINATION ${QUIRABEL_MODULE_INSTALL_DIR}
          PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()
