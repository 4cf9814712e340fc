# Run at install time: writes the machine's hive naming the simulated driver
# where it was installed (the prefix may be chosen at install time).
# In: VFON_HIVE_DIR (absolute, or relative to the prefix), VFON_DRIVER_RELPATH
# (relative to the prefix), VFON_HIVE_TEMPLATE.
if(IS_ABSOLUTE "${VFON_HIVE_DIR}")
  set(dir "$ENV{DESTDIR}${VFON_HIVE_DIR}")
else()
  set(dir "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${VFON_HIVE_DIR}")
endif()
set(VFON_DRIVER_PATH "${CMAKE_INSTALL_PREFIX}/${VFON_DRIVER_RELPATH}")
message(STATUS "Installing: ${dir}/registry.ini")
configure_file("${VFON_HIVE_TEMPLATE}" "${dir}/registry.ini" @ONLY)
