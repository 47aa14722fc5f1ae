# What Debian wants in share/doc/zov-usb-test: the machine-readable copyright file and the
# changelog of this native package, gzipped with -9n (no name or time stamp in the header).
set(_changelog ${PROJECT_BINARY_DIR}/doc/changelog)
add_custom_command(
    OUTPUT ${_changelog}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/data/debian/changelog ${_changelog}
    COMMAND gzip -9nf ${_changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/data/debian/changelog
    COMMENT "Compressing the Debian changelog"
    VERBATIM)
add_custom_target(zov_changelog ALL DEPENDS ${_changelog}.gz)
install(FILES data/debian/copyright ${_changelog}.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
