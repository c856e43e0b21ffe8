# What makes a cold build cheaper, for the targets of every folder (included last, when all
# targets exist):
#   QUIRABEL_UNITY  the sources of a library or program are compiled in batches of eight
#                   (scripts/test.sh turns it on; off, an edit recompiles one file, not eight)
#   QUIRABEL_PCH    the Qt windows' programs and the window tests share precompiled Qt headers
#   QUIRABEL_LLD    programs and tests are linked by lld, several times faster than ld.bfd
#   QUIRABEL_TESTS_OG  in an optimised build the tests' own code is compiled with -Og: half the
#                   cost of -O2, with the same flow warnings; the code under test keeps its flags
option(QUIRABEL_UNITY "Compile the sources of each target in batches (unity build)" OFF)
option(QUIRABEL_PCH "Precompiled Qt headers for the targets that include Qt" OFF)
option(QUIRABEL_LLD "Link with lld" OFF)
option(QUIRABEL_TESTS_OG "Compile the tests' own code with -Og" OFF)
set(QUIRABEL_UNITY_BATCH 8 CACHE STRING "Sources per batch of a unity build (0: a target at once)")

function(quirabel_collect_targets folder out)
  get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
  foreach(subfolder ${subfolders})
    quirabel_collect_targets(${subfolder} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()
quirabel_collect_targets(${PROJECT_SOURCE_DIR} quirabel_all_targets)

if(QUIRABEL_UNITY)
  foreach(target ${quirabel_all_targets})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "STATIC_LIBRARY" OR type STREQUAL "EXECUTABLE")
      set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${QUIRABEL_UNITY_BATCH})
    endif()
  endforeach()
endif()

if(QUIRABEL_LLD)
  foreach(target ${quirabel_all_targets})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE -fuse-ld=lld)
    endif()
  endforeach()
endif()

if(QUIRABEL_TESTS_OG AND NOT QUIRABEL_SANITIZE)
  foreach(target ${quirabel_all_targets})
    get_target_property(folder ${target} SOURCE_DIR)
    if(folder MATCHES "^${PROJECT_SOURCE_DIR}/tests(/|$)" AND NOT folder MATCHES "/fuzz$")
      target_compile_options(${target} PRIVATE -Og)
    endif()
  endforeach()
endif()

if(QUIRABEL_PCH AND TARGET quirabel_ui_qt)
  # The Qt headers most of the window code includes.
  set(quirabel_qt_headers <QApplication> <QCheckBox> <QComboBox> <QDialog> <QHBoxLayout> <QLabel>
      <QLineEdit> <QMessageBox> <QPainter> <QPlainTextEdit> <QPushButton> <QString> <QTimer>
      <QVBoxLayout> <QWidget>)
  target_precompile_headers(quirabel_ui_qt PRIVATE ${quirabel_qt_headers})
  # The windows' library is compiled with the same flags and reuses the backend's header; the
  # window tests define macros of their own and make theirs.
  if(TARGET quirabel_main_window)
    set_target_properties(quirabel_main_window PROPERTIES PRECOMPILE_HEADERS_REUSE_FROM quirabel_ui_qt)
  endif()
  if(TARGET test_qt)
    target_precompile_headers(test_qt PRIVATE ${quirabel_qt_headers})
  endif()
endif()
# ccache can reuse a clang precompiled header only without its time stamp.
if(QUIRABEL_PCH AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  foreach(target quirabel_ui_qt quirabel_main_window test_qt)
    if(TARGET ${target})
      target_compile_options(${target} PRIVATE -Xclang -fno-pch-timestamp)
    endif()
  endforeach()
endif()

# Files that are compiled alone in a unity build (the target named first holds each): all but the
# last have a helper of their own under the same name as a file beside them; the last replaces the
# global operator new, which g++ must not see inlined into the other tests.
set(quirabel_unity_alone
    quirabel_designer src/designer/element_kinds.cpp
    quirabel_designer src/designer/projectfile/guide_line_string.cpp
    quirabel_dialogs src/dialogs/serial_windows.cpp
    quirabel_graphics src/graphics/gif.cpp
    quirabel_main_window src/main/serial_dialogs.cpp
    quirabel_ui_qt src/ui/qt/qt_platform.cpp
    test_qt tests/qt/mail_tool_test.cpp
    test_graphics tests/graphics/picture_budget_test.cpp)
if(QUIRABEL_UNITY)
  while(quirabel_unity_alone)
    list(POP_FRONT quirabel_unity_alone target file)
    if(TARGET ${target})
      set_source_files_properties(${PROJECT_SOURCE_DIR}/${file} TARGET_DIRECTORY ${target}
                                  PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    endif()
  endwhile()
endif()
