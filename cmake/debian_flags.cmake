# Debian's compiler and linker flags for programs that read files from anywhere: dpkg-buildflags
# with every hardening feature (stack protector, _FORTIFY_SOURCE, read-only relocations bound at
# start, format checks) and the source folder mapped to "." in debug information and __FILE__.
# The build type keeps deciding the optimisation and the debug information; _FORTIFY_SOURCE needs
# an optimised build. Off under the sanitizers and the fuzzer, whose runtimes check more.
option(QUIRABEL_DEBIAN_FLAGS "Compile and link with Debian's hardening flags (dpkg-buildflags)" ON)
find_program(QUIRABEL_DPKG_BUILDFLAGS dpkg-buildflags)
if(QUIRABEL_DEBIAN_FLAGS AND QUIRABEL_DPKG_BUILDFLAGS AND NOT QUIRABEL_SANITIZE AND NOT QUIRABEL_FUZZ)
  set(maintainer_options "$ENV{DEB_BUILD_MAINT_OPTIONS}")
  if(maintainer_options STREQUAL "")
    set(maintainer_options hardening=+all)
  endif()
  set(debian_flags)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=${maintainer_options}
              ${QUIRABEL_DPKG_BUILDFLAGS} --get ${kind}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE flags
      OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed (-DQUIRABEL_DEBIAN_FLAGS=OFF builds without)")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(g[0-9]*|O[0-9sgz]?)$")
    if(CMAKE_BUILD_TYPE STREQUAL "Debug")
      list(FILTER flags EXCLUDE REGEX "^-D_FORTIFY_SOURCE")
    endif()
    if(kind STREQUAL "LDFLAGS")
      add_link_options(${flags})
    else()
      add_compile_options(${flags})
    endif()
    list(APPEND debian_flags ${flags})
  endforeach()
  message(STATUS "Debian flags: ${debian_flags}")
endif()
