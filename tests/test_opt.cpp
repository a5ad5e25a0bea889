#include <gtest/gtest.h>

#include "core/model.h"
#include "support/opt_builder.h"

namespace kesh {
namespace {
using namespace test;
TEST(OptReader, Smoke) {
    BuiltOpt opt = BuildOpt({.nodes = {Group({Vertices({{0, 0, 0}})})}});
    OptModel model;
    EXPECT_TRUE(model.LoadOptBytes(opt.bytes).ok());
    EXPECT_EQ(model.meshes[0].vertices.size(), 1u);
}
}  // namespace
}  // namespace kesh
