#pragma once
// The car fields of a JSON document, shared by the car and record documents.
#include <QString>

#include "cli/CliJson.h"

namespace k2 {
class TCar;
}

namespace k2::cli {

// Writes the car's fields (without "type") into the object the caller has opened:
// the body, "LightSensors", "CCDSensor" (null when none), "SteerMotor" and "Motor".
void WriteCarFields(TJsonWriter& w, const TCar& car);

// Fills a new car from a document.  Body fields, "Motor" and "SteerMotor" (or single
// keys of them) left out keep the settings defaults the car read.  A sensor that gives
// its derived fields is taken as stored; one that leaves them all out is in design
// form and is filled the way the sensor dialogs fill one, so its setters and clamps
// apply.  False with a message naming the field on bad input.
bool ReadCarFields(const TJsonValue& doc, TCar& car, QString& error);

}  // namespace k2::cli
