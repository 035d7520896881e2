# Where `cmake --install` puts Keyfall: the usual FHS layout under any prefix, nothing outside it.
# The program finds its cue files in ../share/keyfall relative to its own folder, and its
# statistics module in ../<libdir>/keyfall, so that folder must lie directly under the prefix
# (bin/, or games/ for the Debian package); every destination below is relative to the prefix.
include(GNUInstallDirs)

set(KEYFALL_APP_ID org.keyfall.Keyfall)
set(KEYFALL_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR} CACHE STRING
    "Folder of the executable under the prefix, one level deep (bin, or games on Debian)")
if(KEYFALL_INSTALL_BINDIR MATCHES "/" OR IS_ABSOLUTE "${KEYFALL_INSTALL_BINDIR}")
  message(FATAL_ERROR "KEYFALL_INSTALL_BINDIR must be one folder under the prefix: the cues are found in ../share/keyfall")
endif()

install(TARGETS keyfall RUNTIME DESTINATION ${KEYFALL_INSTALL_BINDIR})
# The statistics module, found from the executable as ../<libdir>/keyfall (ui/StatsModule.h).
install(TARGETS keyfall_stats_module LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/keyfall)

list(TRANSFORM KEYFALL_CUES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/assets/sounds/ OUTPUT_VARIABLE cue_files)
install(FILES ${cue_files} DESTINATION ${CMAKE_INSTALL_DATADIR}/keyfall)

install(FILES packaging/${KEYFALL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/${KEYFALL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 64 128 256)
  install(FILES assets/icons/hicolor/${size}x${size}/apps/${KEYFALL_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Man pages are shipped compressed; -n keeps the archive the same from build to build.
set(man_page ${CMAKE_CURRENT_BINARY_DIR}/keyfall.6.gz)
add_custom_command(OUTPUT ${man_page}
  COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/packaging/keyfall.6 > ${man_page}
  DEPENDS packaging/keyfall.6
  VERBATIM)
add_custom_target(man_page ALL DEPENDS ${man_page})
install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/keyfall RENAME copyright)
