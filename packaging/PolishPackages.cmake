# Run by cpack once the packages are built, to finish what CPack's Debian
# generator leaves undone; each package is unpacked, mended and rebuilt.
# - nivo: CPack has postinst and postrm call ldconfig whenever a shared object
#   sits under usr/lib, but the video module is private to the program
#   (lib/nivo, never on the loader's path): both scripts go.
# - nivo-dbgsym: CPack lists absolute build paths in its md5sums, makes the
#   symbol files executable, and gives it no documents; Debian's debug
#   packages share their package's.

function(drop_ldconfig_scripts tree)
  foreach(script postinst postrm)
    if(EXISTS ${tree}/DEBIAN/${script})
      file(STRINGS ${tree}/DEBIAN/${script} commands REGEX "^[ \t]*[a-z]")
      if(NOT commands MATCHES "^set -e;if .*;[ \t]*ldconfig;fi$")
        message(FATAL_ERROR "${script} does more than call ldconfig: ${commands}")
      endif()
      file(REMOVE ${tree}/DEBIAN/${script})
    endif()
  endforeach()
endfunction()

function(share_documents tree package)
  file(MAKE_DIRECTORY ${tree}/usr/share/doc)
  file(CREATE_LINK nivo ${tree}/usr/share/doc/${package} SYMBOLIC)
endfunction()

function(make_symbols_plain tree)
  file(GLOB_RECURSE symbols ${tree}/usr/lib/debug/*.debug)
  file(CHMOD ${symbols} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()

function(write_md5sums tree)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${tree} ${tree}/usr/*)
  list(SORT files)
  set(sums "")
  foreach(path IN LISTS files)
    if(NOT IS_SYMLINK ${tree}/${path})
      file(MD5 ${tree}/${path} sum)
      string(APPEND sums "${sum}  ${path}\n")
    endif()
  endforeach()
  file(WRITE ${tree}/DEBIAN/md5sums "${sums}")
endfunction()

foreach(package_file IN LISTS CPACK_PACKAGE_FILES)
  set(tree ${CPACK_TOPLEVEL_DIRECTORY}/nivo-unpacked)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${package_file} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  if(package_file MATCHES "/nivo_[^/]*\\.deb$")
    drop_ldconfig_scripts(${tree})
  elseif(package_file MATCHES "/nivo-dbgsym_[^/]*\\.ddeb$")
    share_documents(${tree} nivo-dbgsym)
    make_symbols_plain(${tree})
    write_md5sums(${tree})
  else()
    message(FATAL_ERROR "unexpected package ${package_file}")
  endif()
  execute_process(COMMAND dpkg-deb --root-owner-group -b ${tree} ${package_file} OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
