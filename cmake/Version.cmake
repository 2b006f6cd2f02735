# The one version number (project() at the top) reaches the programs through a
# generated header, quillet/version.h, in the interface target quillet_version;
# so does the desktop id that names the menu entry, the icon and the AppStream data.
set(QUILLET_APP_ID "org.quillet.Quillet" CACHE STRING "Reverse-DNS id of the desktop entry, icon and AppStream data")
configure_file(${PROJECT_SOURCE_DIR}/cmake/version.h.in ${PROJECT_BINARY_DIR}/generated/quillet/version.h @ONLY)
add_library(quillet_version INTERFACE)
target_include_directories(quillet_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
# For tests that match the programs' --version output.
string(REPLACE "." "\\." QUILLET_VERSION_PATTERN "${PROJECT_VERSION}")
