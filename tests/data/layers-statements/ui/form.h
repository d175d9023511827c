#pragma once
#include <memory>
class Statement;
struct Form {
    std::unique_ptr<Statement> pending_;
};
