# What `cmake --install` and the Debian package ship: the two programs, their manual
# pages, the README, a sample configuration file, the changelog and the copyright file.
# Only the programs: the libraries and the tests stay in the build tree.
include(GNUInstallDirs)

install(TARGETS nelk nelk-cpu RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The strip keeps the compiler's name and version in .comment: nothing reads it.
if(CMAKE_OBJCOPY)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      foreach(program nelk nelk-cpu)
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
          \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
          COMMAND_ERROR_IS_FATAL ANY)
      endforeach()
    endif()")
endif()

# The copyright file in the machine-readable form Debian reads, its licence text taken
# from LICENSE, so the two cannot differ: one space before each line, " ." for a blank.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE NK_LICENSE_TEXT)
string(REGEX REPLACE "^.*\n(Permission )" "\\1" NK_LICENSE_TEXT "${NK_LICENSE_TEXT}")
string(REGEX REPLACE "\n+$" "" NK_LICENSE_TEXT "${NK_LICENSE_TEXT}")
string(REPLACE "\n\n" "\n.\n" NK_LICENSE_TEXT "${NK_LICENSE_TEXT}")
string(REPLACE "\n" "\n " NK_LICENSE_TEXT " ${NK_LICENSE_TEXT}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/copyright.in ${PROJECT_BINARY_DIR}/doc/copyright @ONLY)

# Manual pages and the changelog go compressed, as Debian wants them; man reads them so
# from any prefix. -n leaves out the name and time, so the same source gives the same
# bytes in every build.
set(compressed)
foreach(source man/nelk.1 man/nelk-cpu.1 changelog)
  get_filename_component(name ${source} NAME)
  set(output ${PROJECT_BINARY_DIR}/doc/${name}.gz)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/${source} ${PROJECT_BINARY_DIR}/doc/${name}
    COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/doc/${name}
    DEPENDS ${PROJECT_SOURCE_DIR}/${source} VERBATIM)
  list(APPEND compressed ${output})
endforeach()
add_custom_target(nk_compressed_docs ALL DEPENDS ${compressed})
install(FILES ${PROJECT_BINARY_DIR}/doc/nelk.1.gz ${PROJECT_BINARY_DIR}/doc/nelk-cpu.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/man/config_file.sample
              ${PROJECT_BINARY_DIR}/doc/changelog.gz ${PROJECT_BINARY_DIR}/doc/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# For the package alone: lintian reads it from there, and nothing else does.
install(FILES ${PROJECT_SOURCE_DIR}/cmake/lintian-overrides RENAME nelk
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
        COMPONENT debian EXCLUDE_FROM_ALL)

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
# Lines of at most 79 columns: the package tools show them indented by one.
set(CPACK_PACKAGE_DESCRIPTION
    "nelk reads the keyboard one key at a time, decodes the keys of Linux consoles
and xterm, and edits the line itself, with history and file-name completion.
Its prompt shows the terminal kind, the CPU usage, the time of day and a
persistent running total. It runs commands through sh, and has builtins for
typed variables and aliases. nelk-cpu, the CPU sampler for the prompt, comes
with it.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${NK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION shells)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# One package of everything, the lintian overrides included.
set(CPACK_COMPONENTS_ALL Unspecified debian)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
include(CPack)
