# SPDX-License-Identifier: GPL-2.0-or-later
# Run by cpack after packaging. CPack 3.25 writes the -dbgsym package's
# md5sums with the absolute paths of its staging folder, so that debsums and
# `dpkg --verify` cannot check it, and stamps its control archive with the
# current time, so that no two builds give the same file. The package is
# rebuilt here by dpkg-deb from its own contents with the paths made relative;
# SOURCE_DATE_EPOCH (set by CPackReproducible.cmake) fixes every time stamp.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.ddeb$")
    continue()
  endif()
  set(root "${package}.contents")
  file(REMOVE_RECURSE "${root}")
  execute_process(COMMAND dpkg-deb -R "${package}" "${root}" COMMAND_ERROR_IS_FATAL ANY)
  file(STRINGS "${root}/DEBIAN/md5sums" lines)
  set(md5sums "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^([0-9a-f]+  ).*/(usr/lib/debug/.*)$" "\\1\\2" line "${line}")
    string(APPEND md5sums "${line}\n")
  endforeach()
  file(WRITE "${root}/DEBIAN/md5sums" "${md5sums}")
  execute_process(COMMAND dpkg-deb --root-owner-group --build "${root}" "${package}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${root}")
endforeach()
