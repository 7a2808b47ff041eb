# The browser build's compression and picture libraries: static wasm archives
# that scripts/build-web-deps.sh builds from Debian's sources. They take the
# names of the native build's pkg-config targets, so that the core's libraries
# link them unchanged; the host's pkg-config would find the host's libraries.
set(MORVANE_WEB_DEPS ${PROJECT_SOURCE_DIR}/build-web/deps CACHE PATH
    "Where scripts/build-web-deps.sh put the browser build's libraries")

# An imported target named `target` for the archives lib<name>.a in ARGN.
function(morvane_web_dependency target)
    add_library(${target} INTERFACE IMPORTED)
    target_include_directories(${target} INTERFACE ${MORVANE_WEB_DEPS}/include)
    foreach(name IN LISTS ARGN)
        set(archive ${MORVANE_WEB_DEPS}/lib/lib${name}.a)
        if(NOT EXISTS ${archive})
            message(FATAL_ERROR "${archive} is missing: run scripts/build-web-deps.sh")
        endif()
        target_link_libraries(${target} INTERFACE ${archive})
    endforeach()
endfunction()

morvane_web_dependency(PkgConfig::MORVANE_COMPRESSION zip zstd z)
morvane_web_dependency(PkgConfig::MORVANE_PICTURES png16 imagequant z)
