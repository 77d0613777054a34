# Lays the program out under the install prefix: the bundle as the build makes it, a launcher on
# the PATH, and the desktop entry and icon through which a file manager offers "Open with".
include(GNUInstallDirs)

set(VELLORAN_INSTALL_BUNDLE ${CMAKE_INSTALL_LIBDIR}/velloran/Velloran.app/Contents)
install(TARGETS Velloran RUNTIME DESTINATION ${VELLORAN_INSTALL_BUNDLE}/MacOS)
install(DIRECTORY ${VELLORAN_BUNDLE}/Resources/ DESTINATION ${VELLORAN_INSTALL_BUNDLE}/Resources)

# The launcher finds the bundle relative to itself, so the installed tree can be moved whole.
file(RELATIVE_PATH VELLORAN_LAUNCHER_TO_EXECUTABLE ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBDIR}/velloran/Velloran.app/Contents/MacOS/Velloran)
configure_file(${PROJECT_SOURCE_DIR}/desktop/velloran.in ${CMAKE_BINARY_DIR}/desktop/velloran @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/desktop/velloran DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${PROJECT_SOURCE_DIR}/desktop/velloran.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/desktop/velloran.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${PROJECT_SOURCE_DIR}/desktop/velloran.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
