#pragma once

#include "display/CVRIMView.h"
#include "mdb/CMDBInterpreter.h"

// The view's decoder of shown items: the MDB interpreter and its worker thread.
class MdbItemDecoder final : public CVRIMView::ItemDecoder {
public:
  explicit MdbItemDecoder(CVRIMView& view) : m_interpreter(view, view.activeFile()) {}

  void Start() override { m_interpreter.Control(MDBCTRL_START); }
  void Refresh() override { m_interpreter.Control(MDBCTRL_REFRESH); }
  void StopAndWait() override { m_interpreter.Control(MDBCTRL_STOP); }

  CMDBInterpreter& interpreter() { return m_interpreter; }

private:
  CMDBInterpreter m_interpreter;
};
