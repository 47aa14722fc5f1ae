# When the install strips (cpack with CPACK_STRIP_FILES, cmake --install --strip), the program
# also loses the .comment and .note sections, which only name the tools that built it, as
# Debian's dh_strip does. Included after app/, whose install rule this follows.
install(CODE "
if(CMAKE_INSTALL_DO_STRIP)
    execute_process(
        COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zov-usb-test\"
        COMMAND_ERROR_IS_FATAL ANY)
endif()
")
