# The manual page zov-usb-test(1): made at build time from data/zov-usb-test.1.scd by scdoc,
# gzipped without a time stamp as Debian wants it, and installed to share/man/man1. Without
# scdoc the build goes on without the page (./run.sh and ./test.sh install scdoc).
find_program(SCDOC_EXECUTABLE scdoc)
if(NOT SCDOC_EXECUTABLE)
    message(WARNING "scdoc not found: building without the manual page (apt-get install scdoc)")
    return()
endif()

set(_man_source ${PROJECT_SOURCE_DIR}/data/zov-usb-test.1.scd)
set(_man_page ${PROJECT_BINARY_DIR}/man/zov-usb-test.1)
add_custom_command(
    OUTPUT ${_man_page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${SCDOC_EXECUTABLE} < ${_man_source} > ${_man_page}
    COMMAND gzip -9nf ${_man_page}
    DEPENDS ${_man_source}
    COMMENT "Making the manual page zov-usb-test.1.gz"
    VERBATIM)
add_custom_target(zov_man_page ALL DEPENDS ${_man_page}.gz)
install(FILES ${_man_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
