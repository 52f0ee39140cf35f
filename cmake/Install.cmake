# Desktop integration: the menu entry, the software-centre metadata, the application icon
# in the hicolor theme, the manual pages and the documents. The programs and the styles
# are installed by app/.

set(LUMOVOX_APP_ID io.github.lumovox.LumoVox)
set(LUMOVOX_DATA_DIR "${PROJECT_SOURCE_DIR}/data")
set(LUMOVOX_APP_ICON "${PROJECT_SOURCE_DIR}/app/resources/lumovox.svg")
set(LUMOVOX_ICON_SIZES 16 24 32 48 64 128 256)

# The PNG sizes are drawn by lumovox-check at build time. A sanitizer build's leak checker
# would fail the rendering over the graphics libraries' start-up, so it is off for that one
# command; ThreadSanitizer builds, never installed, skip the PNGs.
if(LUMOVOX_TSAN)
  set(lumovox_icon_default OFF)
else()
  set(lumovox_icon_default ON)
endif()
option(LUMOVOX_ICON_PNGS "Render and install the PNG sizes of the application icon"
       ${lumovox_icon_default})
install(FILES "${LUMOVOX_DATA_DIR}/${LUMOVOX_APP_ID}.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${LUMOVOX_DATA_DIR}/${LUMOVOX_APP_ID}.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${LUMOVOX_APP_ICON}"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps"
        RENAME "${LUMOVOX_APP_ID}.svg")

if(LUMOVOX_ICON_PNGS)
  set(icon_outputs)
  foreach(size IN LISTS LUMOVOX_ICON_SIZES)
    set(folder "${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}")
    set(png "${folder}/${LUMOVOX_APP_ID}.png")
    add_custom_command(
      OUTPUT "${png}"
      COMMAND ${CMAKE_COMMAND} -E make_directory "${folder}"
      COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen
              $<TARGET_FILE:lumovox-check> --render-icon "${LUMOVOX_APP_ICON}" --size ${size} --styles
              --out "${png}"
      DEPENDS lumovox-check "${LUMOVOX_APP_ICON}"
      COMMENT "Rendering the ${size}x${size} application icon"
      VERBATIM)
    list(APPEND icon_outputs "${png}")
    install(FILES "${png}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
  endforeach()
  add_custom_target(lumovox_icons ALL DEPENDS ${icon_outputs})
endif()

# Debian wants manual pages compressed, reproducibly (-n: no name or time stamp inside).
find_program(LUMOVOX_GZIP gzip REQUIRED)
set(man_outputs)
foreach(page lumovox.1 lumovox-check.1)
  set(copy "${CMAKE_CURRENT_BINARY_DIR}/man/${page}")
  add_custom_command(
    OUTPUT "${copy}.gz"
    COMMAND ${CMAKE_COMMAND} -E copy "${LUMOVOX_DATA_DIR}/${page}" "${copy}"
    COMMAND "${LUMOVOX_GZIP}" -9nf "${copy}"
    DEPENDS "${LUMOVOX_DATA_DIR}/${page}"
    VERBATIM)
  list(APPEND man_outputs "${copy}.gz")
endforeach()
add_custom_target(lumovox_man ALL DEPENDS ${man_outputs})
install(FILES ${man_outputs} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")

# GNUInstallDirs would name the folder after the project ("LumoVox"); the package is lumovox.
install(FILES "${PROJECT_SOURCE_DIR}/README.md" "${PROJECT_SOURCE_DIR}/LICENSE"
              "${PROJECT_SOURCE_DIR}/docs/guide.html"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/lumovox")
install(DIRECTORY "${PROJECT_SOURCE_DIR}/docs/images" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/lumovox"
        OPTIONAL)

if(LUMOVOX_TESTS)
  set(tested_sizes)
  if(LUMOVOX_ICON_PNGS)
    string(REPLACE ";" "," tested_sizes "${LUMOVOX_ICON_SIZES}")
  endif()
  add_test(NAME desktop_data
           COMMAND Python3::Interpreter "${PROJECT_SOURCE_DIR}/tests/install/test_desktop_data.py"
                   --source "${PROJECT_SOURCE_DIR}" --build "${PROJECT_BINARY_DIR}"
                   --cmake "${CMAKE_COMMAND}" --version "${PROJECT_VERSION}"
                   --icon-sizes "${tested_sizes}")
  # 77: the validators are not installed, everything else passed.
  set_tests_properties(desktop_data PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
endif()
