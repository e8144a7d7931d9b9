// Benchmark peer: loads the vertex positions and face index lists of a PLY file with miniply and
// prints its counts. Built only inside bench/ from ../shared/bench-peers; never part of the
// product.
#include <miniply.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    miniply::PLYReader reader(argv[1]);
    if (!reader.valid()) return 1;
    std::vector<float> positions;
    std::vector<int> counts, indices;
    bool gotVertices = false, gotFaces = false;
    for (; reader.has_element() && !(gotVertices && gotFaces); reader.next_element()) {
        if (reader.element_is(miniply::kPLYVertexElement) && reader.load_element()) {
            uint32_t position[3];
            if (!reader.find_pos(position)) return 1;
            positions.resize(size_t{reader.num_rows()} * 3);
            reader.extract_properties(position, 3, miniply::PLYPropertyType::Float, positions.data());
            gotVertices = true;
        } else if (reader.element_is(miniply::kPLYFaceElement) && reader.load_element()) {
            uint32_t list[1];
            if (!reader.find_indices(list)) return 1;
            const uint32_t* rowCounts = reader.get_list_counts(list[0]);
            counts.assign(rowCounts, rowCounts + reader.num_rows());
            indices.resize(reader.sum_of_list_counts(list[0]));
            reader.extract_list_property(list[0], miniply::PLYPropertyType::Int, indices.data());
            gotFaces = true;
        }
    }
    std::printf("%zu vertices, %zu faces\n", positions.size() / 3, counts.size());
    return 0;
}
