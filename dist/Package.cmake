# The Debian package (tools/package.sh): CPack's DEB generator with the
# dependencies computed from the binaries, stripped, the hive a conffile,
# the maintainer scripts that make the service's user and folders.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vfon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VFON_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VFON_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cosmic-ray air-shower station: recording and inspection")
# The long description: CPack indents it and marks the blank line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The data-acquisition and inspection program of a cosmic-ray air-shower
setup: it counts the pulses of four scintillation-detector channels into
count rates and amplitude spectra, records the triggered events of six
radio antenna channels, and shows the recorded frames and events with
their spectra and the stability of the detectors over many files.

The package holds the window program vfon, the recorder without a window
(vfon --headless) with the station service vfon-station@.service, the
export tool vfon-export (CSV, HDF5), the centre vfon-centre that gathers
the stations' reports from an MQTT broker and shows them on a web page,
and a simulated driver library, which
/etc/vfon/registry.ini names until a real driver is named there.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The centre serves Chart.js for its station pages from Debian's package.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libjs-chart.js")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "systemd")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/conffiles
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/prerm
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES ON)
# Paths outside the prefix (/etc, the unit folders) go into the package, never
# into the building machine.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
