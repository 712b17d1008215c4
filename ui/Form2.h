#pragma once

#include "FormControls.h"
#include "FormWindow.h"

// The wiring help window: which port pins carry the phases, a word on the
// power stage, and a drawing of the wiring from the port through the
// amplifier to the motor. It has no logic beyond closing itself; the close
// box does what its button does, and either destroys the instance.
class Form2 : public FormWindow
{
    Q_OBJECT

public:
    explicit Form2(QWidget *parent = nullptr);

    const FormControls &controls() const { return m_controls; }

private:
    void addDrawing();

    FormControls m_controls;
};
