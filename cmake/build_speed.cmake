# What makes a cold build cheaper, for the targets of every folder (included last, when all
# targets exist):
#   QUIRABEL_UNITY  the sources of a library or program are compiled in batches of eight
#                   (scripts/test.sh turns it on; off, an edit recompiles one file, not eight)
#   QUIRABEL_PCH    the Qt windows' libraries and programs share precompiled Qt headers, the
#                   window tests have their own, and the other tests share GoogleTest's and the
#                   standard headers they all include
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
    if(type MATCHES "^(STATIC_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
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

# The targets whose code lies in tests/ (the fuzz targets' replay runners aside).
set(quirabel_test_targets)
foreach(target ${quirabel_all_targets})
  get_target_property(folder ${target} SOURCE_DIR)
  get_target_property(type ${target} TYPE)
  if(folder MATCHES "^${PROJECT_SOURCE_DIR}/tests(/|$)" AND NOT folder MATCHES "/fuzz$"
     AND type MATCHES "^(STATIC_LIBRARY|EXECUTABLE)$")
    list(APPEND quirabel_test_targets ${target})
  endif()
endforeach()

if(QUIRABEL_TESTS_OG AND NOT QUIRABEL_SANITIZE)
  foreach(target ${quirabel_test_targets})
    target_compile_options(${target} PRIVATE -Og)
  endforeach()
endif()

# Under the sanitizers only the code under test is instrumented: the libraries in src/ and the
# fuzz targets' readers. The tests' own code (GoogleTest's macros, expectations, helpers) is
# compiled without them: a third of the sanitized compile of the tests, and none of the checks
# that find our faults, since the tests still run the instrumented libraries, the executables
# still link both runtimes (heap, stack and global buffers of the libraries checked, every
# allocation and string function of the process intercepted) and undefined behaviour still
# stops a test. What is lost: a fault in the tests' own code, and the checks of the copies of
# src/'s header-inline functions the tests compile (the linker may keep one of those copies).
if(QUIRABEL_SANITIZE)
  foreach(target ${quirabel_test_targets})
    target_compile_options(${target} PRIVATE -fno-sanitize=address,undefined)
  endforeach()
endif()

set(quirabel_pch_targets)
if(QUIRABEL_PCH AND TARGET quirabel_ui_qt)
  # The Qt headers most of the window code includes.
  set(quirabel_qt_headers <QApplication> <QCheckBox> <QComboBox> <QDialog> <QHBoxLayout> <QLabel>
      <QLineEdit> <QMessageBox> <QPainter> <QPlainTextEdit> <QPushButton> <QString> <QTimer>
      <QVBoxLayout> <QWidget>)
  target_precompile_headers(quirabel_ui_qt PRIVATE ${quirabel_qt_headers})
  list(APPEND quirabel_pch_targets quirabel_ui_qt)
  # The other Qt code outside the tests is compiled with the same flags and reuses the backend's
  # header (the windows, the tools' windows, the programs' entry points, the page view's
  # benchmark): each of them would otherwise parse the Qt headers for longer than it compiles its
  # own code. The tools' windows take the network module's flags too, which the header was made
  # with (a header made without a macro that is defined now is not used).
  find_package(Qt6 REQUIRED COMPONENTS Network)
  foreach(target quirabel_link_tool quirabel_mail_tool)
    if(TARGET ${target})
      target_link_libraries(${target} PRIVATE Qt6::Network)
    endif()
  endforeach()
  foreach(target quirabel_main_window quirabel quirabel-desktop-files quirabel_link_tool
                 quirabel-link quirabel_mail_tool quirabel-mail bench_page_view)
    if(TARGET ${target})
      set_target_properties(${target} PROPERTIES PRECOMPILE_HEADERS_REUSE_FROM quirabel_ui_qt)
      list(APPEND quirabel_pch_targets ${target})
    endif()
  endforeach()
  # The window tests define macros of their own and make theirs.
  if(TARGET test_qt)
    target_precompile_headers(test_qt PRIVATE ${quirabel_qt_headers})
    list(APPEND quirabel_pch_targets test_qt)
  endif()
endif()
if(QUIRABEL_PCH AND TARGET test_base)
  # GoogleTest's header and the standard headers nearly every test includes: some 2 s of parsing
  # for each batch of tests, in each build. One header for all tests but the windows' (compiled
  # with the same flags; the checker in the support library is C++17 and keeps its own parse).
  target_precompile_headers(test_base PRIVATE <gtest/gtest.h> <algorithm> <cstdint> <filesystem>
                            <fstream> <functional> <map> <memory> <optional> <string>
                            <string_view> <vector>)
  list(APPEND quirabel_pch_targets test_base)
  foreach(target ${quirabel_test_targets})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE" AND NOT target MATCHES "^(test_base|test_qt)$")
      set_target_properties(${target} PROPERTIES PRECOMPILE_HEADERS_REUSE_FROM test_base)
      list(APPEND quirabel_pch_targets ${target})
    endif()
  endforeach()
endif()
# ccache can reuse a clang precompiled header only without its time stamp.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  foreach(target ${quirabel_pch_targets})
    target_compile_options(${target} PRIVATE -Xclang -fno-pch-timestamp)
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
