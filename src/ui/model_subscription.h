#pragma once

#include "ui/window_model.h"

namespace orvan {

// An observer's place among a window model's observers, held for as long as
// this lives: a view that is bound to another model, or destroyed, leaves no
// dangling observer behind in the model it followed.
class ModelSubscription {
 public:
  explicit ModelSubscription(WindowModelObserver& observer, WindowModel* model = nullptr)
      : observer_(observer) {
    Follow(model);
  }
  ~ModelSubscription() { Follow(nullptr); }
  ModelSubscription(const ModelSubscription&) = delete;
  ModelSubscription& operator=(const ModelSubscription&) = delete;

  // Leaves the model followed so far, if any, and follows `model` (none: null).
  void Follow(WindowModel* model) {
    if (model_ != nullptr) model_->Unsubscribe(observer_);
    model_ = model;
    if (model_ != nullptr) model_->Subscribe(observer_);
  }
  WindowModel* model() const { return model_; }

 private:
  WindowModelObserver& observer_;
  WindowModel* model_ = nullptr;
};

}  // namespace orvan
