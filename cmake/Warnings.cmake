# Warnings every target of the project compiles with; third-party headers are included as
# system headers and stay quiet.
add_compile_options(
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Wunused
    -Woverloaded-virtual -Wnull-dereference -Wformat=2 -Wimplicit-fallthrough)
if(WORKSTATION_WERROR)
    add_compile_options(-Werror)
endif()
