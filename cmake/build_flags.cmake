# SPDX-License-Identifier: GPL-2.0-or-later
# The flags a Debian package is built with, for the builds that ship
# (Release, RelWithDebInfo, MinSizeRel): fortified libc calls, stack
# protector, read-only relocations bound at start (relro + bindnow). Debian's
# compiler makes position-independent executables by default; the package
# test checks that the programs are. Sanitizer and fuzzing builds keep their
# own instrumentation and are left alone.
#
# The paths of the source and build folders are mapped to fixed names, so the
# binaries (their debug information too) do not depend on where the tree was
# unpacked: two builds of the same commit give the same package.

set(REELWRIGHT_HARDENED OFF)
if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$"
   AND NOT REELWRIGHT_SANITIZE AND NOT REELWRIGHT_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set(REELWRIGHT_HARDENED ON)
endif()

if(REELWRIGHT_HARDENED)
  find_program(DPKG_BUILDFLAGS dpkg-buildflags)
  if(DPKG_BUILDFLAGS)
    # Optimisation and debug information stay with the build type; the path
    # map comes below, for the build folder as well.
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
      execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                              ${DPKG_BUILDFLAGS} --get ${kind}
                      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
      separate_arguments(flags UNIX_COMMAND "${flags}")
      list(FILTER flags EXCLUDE REGEX "^(-g|-O.*|-f(file|debug|macro)-prefix-map=.*)$")
      set(dpkg_${kind} ${flags})
    endforeach()
  else()
    # The same as dpkg-buildflags gives on Debian 12, where it is missing.
    set(dpkg_CPPFLAGS -Wdate-time -D_FORTIFY_SOURCE=2)
    set(dpkg_CXXFLAGS -fstack-protector-strong -Wformat -Werror=format-security)
    set(dpkg_LDFLAGS -Wl,-z,relro -Wl,-z,now)
  endif()
  add_compile_options(${dpkg_CPPFLAGS} ${dpkg_CXXFLAGS})
  add_link_options(${dpkg_LDFLAGS})
  message(STATUS "Hardened build: ${dpkg_CPPFLAGS} ${dpkg_CXXFLAGS} ${dpkg_LDFLAGS}")
endif()

# GCC takes the last matching map, so the build folder (often inside the
# source folder) comes second.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
