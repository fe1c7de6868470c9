# Run by CPack after it has made the packages (CPACK_POST_BUILD_SCRIPTS).
# CPack gives a package with a shared library under /usr/lib postinst and
# postrm scripts that call ldconfig; Debian runs ldconfig by dpkg's trigger
# instead (the package's triggers file). The scripts are taken out here, and
# the package is built again from the same files.
foreach(package ${CPACK_PACKAGE_FILES})
  set(tree ${CPACK_TOPLEVEL_DIRECTORY}/unpacked)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${package} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  if(EXISTS ${tree}/DEBIAN/triggers)
    file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
    execute_process(COMMAND dpkg-deb --root-owner-group -Zxz -b ${tree} ${package}
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
