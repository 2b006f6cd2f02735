# Warnings for the project's own targets; third-party headers come in as system includes.
add_compile_options(-Wall -Wextra -Wpedantic)
