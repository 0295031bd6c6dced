#pragma once

#include "zcore/basenode.h"
#include "zcore/nocopy.h"
#include "zcore/stream_model_adapter.h"

#include <istream>
#include <string>

namespace zcore {

// A read footprint, named after the reader that fills it.
class BaseModel : private nocopy {
public:
  explicit BaseModel(std::string name) : name_(std::move(name)) {}
  virtual ~BaseModel() = default;
  // Each replaces the content with what is read from `in`.
  virtual void load(StreamModelAdapterBase& in) = 0;
  virtual void load(std::istream& in) = 0;

  const std::string& name() const { return name_; }

private:
  std::string name_;
};

// A model whose content is a basenode tree.
class TreeModel : public BaseModel {
public:
  using BaseModel::BaseModel;
};

// The tree of a `.kicad_mod` file.
class S_Model : public TreeModel {
public:
  explicit S_Model(std::string name) : TreeModel(std::move(name)) {}
  ~S_Model() override;

  // A failed load leaves the previous tree in place.
  void load(StreamModelAdapterBase& in) override;
  void load(std::istream& in) override;

  // Null before the first load and after reading an empty list `()`.
  basenode* root() const { return root_; }

private:
  basenode* root_ = nullptr;
};

}  // namespace zcore
