# cmake --install: the two headers, the two libraries, the CMake package
# (find_package(main_llist) gives main_llist::adt_tree and
# main_llist::adt_llist) and a pkg-config file for each library; the tools
# add themselves (tools/CMakeLists.txt).
include(CMakePackageConfigHelpers)

set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/main_llist)

install(TARGETS adt_tree adt_llist EXPORT main_llist_targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ADT_tree.h ADT_llist.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT main_llist_targets NAMESPACE main_llist::
  FILE main_llist-targets.cmake DESTINATION ${package_dir})

configure_package_config_file(cmake/main_llist-config.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/main_llist-config.cmake INSTALL_DESTINATION ${package_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/main_llist-config-version.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/main_llist-config.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/main_llist-config-version.cmake DESTINATION ${package_dir})

# With relative install folders the .pc files find the prefix from where
# they stand, so that they are right for any --prefix given at install time;
# an absolute folder is written as it is.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(pc_includedir ${CMAKE_INSTALL_FULL_INCLUDEDIR})
  set(pc_libdir ${CMAKE_INSTALL_FULL_LIBDIR})
else()
  file(RELATIVE_PATH pc_to_prefix /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
  set(pc_includedir "\${pcfiledir}/${pc_to_prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
  set(pc_libdir "\${pcfiledir}/${pc_to_prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
foreach(pc_name adt_tree adt_llist)
  if(pc_name STREQUAL adt_tree)
    set(pc_description "Unbalanced binary search tree of int keys")
  else()
    set(pc_description "Singly linked list of caller-owned void * elements")
  endif()
  configure_file(cmake/library.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${pc_name}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${pc_name}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
