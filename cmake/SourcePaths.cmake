# Installed programs carry no path of this machine: file names in __FILE__ and
# in the debug information are written relative to the source folder, as
# Debian's own build flags do.
add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}=." "-ffile-prefix-map=${PROJECT_BINARY_DIR}=.")
