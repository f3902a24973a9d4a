# What `cmake --install` and the Debian package ship: the two programs, their manual
# pages, the README and a sample configuration file. Only the programs: the libraries and
# the tests stay in the build tree.
include(GNUInstallDirs)

install(TARGETS nelk nelk-cpu RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/man/nelk.1 ${PROJECT_SOURCE_DIR}/man/nelk-cpu.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/man/config_file.sample
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# cpack -G DEB gives nelk_<version>_<arch>.deb. The program prints its version as
# "2.2.0r"; the package carries the Debian-valid "2.2.0".
set(NK_MAINTAINER "nelk maintainers <maintainers@users.noreply.c-seed-1c7d8ff3.example>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nelk)
set(CPACK_PACKAGE_VENDOR "nelk maintainers")
set(CPACK_PACKAGE_CONTACT "${NK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "small interactive command shell with a status prompt and a running total")
set(CPACK_PACKAGE_DESCRIPTION
    "nelk reads the keyboard one key at a time, decodes the keys of linux consoles and
xterm, and edits the line itself, with history and file-name completion. Its prompt
shows the terminal kind, the CPU usage, the time of day and a persistent running total.
It runs commands through sh, and has builtins for typed variables and aliases.
nelk-cpu, the CPU sampler for the prompt, comes with it.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${NK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION shells)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
