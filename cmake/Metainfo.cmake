# AppStream metadata, so software centres list the program: share/metainfo/zov-usb-test.metainfo.xml,
# its id the desktop entry's name. AppStream takes screenshots by web address only, so the
# screenshot (docs/screenshot.png) is listed once ZOV_SCREENSHOT_URL says where it is published.
set(ZOV_SCREENSHOT_URL "" CACHE STRING
    "Web address (https) of docs/screenshot.png for the AppStream metadata; empty lists none")
set(ZOV_METAINFO_SCREENSHOTS "")
if(ZOV_SCREENSHOT_URL)
    string(CONCAT ZOV_METAINFO_SCREENSHOTS
        "  <screenshots>\n"
        "    <screenshot type=\"default\">\n"
        "      <caption>The console with the virtual board attached</caption>\n"
        "      <image>${ZOV_SCREENSHOT_URL}</image>\n"
        "    </screenshot>\n"
        "  </screenshots>\n")
endif()
set(ZOV_METAINFO_FILE ${PROJECT_BINARY_DIR}/zov-usb-test.metainfo.xml)
configure_file(data/zov-usb-test.metainfo.xml.in ${ZOV_METAINFO_FILE} @ONLY)
install(FILES ${ZOV_METAINFO_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
