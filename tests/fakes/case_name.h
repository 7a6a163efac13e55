#pragma once
// Names parameterised GoogleTest cases after their row's `name` field.
#include <gtest/gtest.h>

#include <string>

namespace torvo::fakes {

struct CaseName {
  template <class Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
    return row.param.name;
  }
};

}  // namespace torvo::fakes
