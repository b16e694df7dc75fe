#pragma once
// What the car page and sensor dialog tests compare sensors by.
#include <QByteArray>

#include "base/uStream.h"

namespace k2::test {

// The stored record of a sensor: every field, derived ones included.
template <class TSensorKind>
QByteArray Record(const TSensorKind& s) {
  TStreamWriter w;
  s.SaveToStream(w);
  return w.Data();
}

}  // namespace k2::test
