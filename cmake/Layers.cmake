# Each layer of the program is a library of its own that links only the layers it may use. A layer
# reaches headers through a folder made for it in the build tree, holding a link to its own source
# folder; linking another layer adds that layer's folder. Including a layer that is not linked then
# fails to compile instead of waiting for a review.
function(orvane_layer target folder)
    set(view ${CMAKE_BINARY_DIR}/layers/${folder})
    file(MAKE_DIRECTORY ${view})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
    target_include_directories(${target} PUBLIC ${view})
endfunction()
