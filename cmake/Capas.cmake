# The program's layers. Each folder of src/ is one static library that may include only its own headers and
# those of the layers it names below it: every target gets an include root of its own, build/capas/<target>,
# holding links to exactly those headers, so an include that points up (or sideways to a layer not named)
# does not compile.

set(MIRABEL_CAPAS_DIR ${CMAKE_BINARY_DIR}/capas)

# The headers a target may include: its own and those of every target below it.
function(_mirabel_visibles target out)
  get_property(own GLOBAL PROPERTY MIRABEL_HEADERS_${target})
  get_property(deps GLOBAL PROPERTY MIRABEL_DEPS_${target})
  set(all ${own})
  foreach(dep ${deps})
    _mirabel_visibles(${dep} sub)
    list(APPEND all ${sub})
  endforeach()
  list(REMOVE_DUPLICATES all)
  set(${out} ${all} PARENT_SCOPE)
endfunction()

# Lays out build/capas/<root> with links to the headers that target may see.
function(_mirabel_raiz root target)
  _mirabel_visibles(${target} headers)
  set(dir ${MIRABEL_CAPAS_DIR}/${root})
  file(REMOVE_RECURSE ${dir})
  foreach(rel ${headers})
    get_filename_component(sub ${rel} DIRECTORY)
    file(MAKE_DIRECTORY ${dir}/${sub})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${rel} ${dir}/${rel} SYMBOLIC)
  endforeach()
endfunction()

# mirabel_capa(<target> <folder under src/> [DEPS <layer targets below>] [LIBS <other libraries>])
function(mirabel_capa target folder)
  cmake_parse_arguments(C "" "" "DEPS;LIBS;PRIVATE_LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/src/${folder}/*.h)
  file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/src/${folder}/*.h)
  set_property(GLOBAL PROPERTY MIRABEL_HEADERS_${target} ${headers})
  set_property(GLOBAL PROPERTY MIRABEL_DEPS_${target} ${C_DEPS})
  add_library(${target} STATIC ${sources})
  target_link_libraries(${target} PUBLIC ${C_DEPS} ${C_LIBS} PRIVATE ${C_PRIVATE_LIBS})
  _mirabel_raiz(${target} ${target})
  target_include_directories(${target} PRIVATE ${MIRABEL_CAPAS_DIR}/${target})
endfunction()

# A program or test on top of a layer: it sees what that layer sees.
function(mirabel_sobre program layer)
  _mirabel_raiz(${program} ${layer})
  target_include_directories(${program} PRIVATE ${MIRABEL_CAPAS_DIR}/${program})
  target_link_libraries(${program} PRIVATE ${layer})
endfunction()
