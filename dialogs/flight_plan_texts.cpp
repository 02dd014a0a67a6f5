#include "dialogs/flight_plan_texts.h"

#include "core/settings.h"

// Accented letters are written as code page 1252 bytes: \xE9 e acute,
// \xE0 a grave, \xEA e circumflex, \xE1 a acute, \xED i acute, \xF3 o acute,
// \xFA u acute, \xF1 n tilde.
namespace plan_text {
const PlanText3 kFlightRules{
    "Invalid flight plan : Please select IFR, VFR, DVFR or SVFR and try again.\r\n",
    "Plan de vol invalide : S\xE9lectionner IFR, VFR, DVFR ou SVFR et r\xE9" "essayer.\r\n",
    "Plan de vuelo inv\xE1lido : Por favor seleccione IFR, VFR, DVFR o SVFR y intenta de nuevo.\r\n"};
const PlanText3 kCruiseSpeed{
    "Invalid flight plan : Please select a more realistic cruise speed and try again.\r\n",
    "Plan de vol invalide : Choisir une vitesse de croisi\xE8re plus r\xE9" "aliste et r\xE9" "essayer.\r\n",
    "Plan de vuelo inv\xE1lido : Por favor seleccione una velocidad de crucero m\xE1s realista y intenta de "
    "nuevo.\r\n"};
const PlanText3 kNumberAboard{
    "Invalid flight plan : Please select a more realistic number of people aboard and try again.\r\n",
    "Plan de vol invalide : Choisir un nombre de personnes \xE0 bord plus r\xE9" "aliste et r\xE9" "essayer.\r\n",
    "Plan de vuelo inv\xE1lido : Por favor seleccione un n\xFAmero de personas a bordo m\xE1s realista y intenta "
    "de nuevo.\r\n"};
const PlanText3 kProposedHour{
    "Invalid flight plan : Please select a more realistic proposed hour of departure and try again.\r\n",
    "Plan de vol invalide : Choisir une heure de d\xE9part pr\xE9vue plus r\xE9" "aliste et r\xE9" "essayer.\r\n",
    "Plan de vuelo inv\xE1lido : Por favor seleccione una hora de salida prevista m\xE1s realista y intenta de "
    "nuevo.\r\n"};
const PlanText3 kProposedMinutes{
    "Invalid flight plan : Please select a more realistic proposed minutes of departure and try again.\r\n",
    "Plan de vol invalide : Choisir des minutes de d\xE9part pr\xE9vues plus r\xE9" "alistes et r\xE9" "essayer.\r\n",
    "Plan de vuelo inv\xE1lido : Por favor seleccione unos minutos de salida previstos m\xE1s realistas y intenta "
    "de nuevo.\r\n"};
const PlanText3 kActualHour{
    "Invalid flight plan : Please select a more realistic actual hour of departure and try again.\r\n",
    "Plan de vol invalide : Choisir une heure de d\xE9part r\xE9" "elle plus r\xE9" "aliste et r\xE9" "essayer.\r\n",
    "Plan de vuelo inv\xE1lido : Por favor seleccione una hora de salida real m\xE1s realista y intenta de "
    "nuevo.\r\n"};
const PlanText3 kActualMinutes{
    "Invalid flight plan : Please select a more realistic actual minutes of departure and try again.\r\n",
    "Plan de vol invalide : Choisir des minutes de d\xE9part r\xE9" "elles plus r\xE9" "alistes et r\xE9" "essayer.\r\n",
    "Plan de vuelo inv\xE1lido : Por favor seleccione unos minutos de salida reales m\xE1s realistas y intenta de "
    "nuevo.\r\n"};
const PlanText3 kAltitude{
    "Invalid flight plan : Please enter a correct cruise altitude/flight level and try again.\r\n",
    "Plan de vol invalide : Entrer une altitude/un niveau de croisi\xE8re correct et r\xE9" "essayer.\r\n",
    "Plan de vuelo inv\xE1lido : Por favor introduzca una altitud/un nivel de crucero correcto y intenta de "
    "nuevo.\r\n"};
const PlanText3 kEnrouteHour{
    "Invalid flight plan : Please select a more realistic hour enroute and try again.\r\n",
    "Plan de vol invalide : Choisir une dur\xE9" "e de vol (heures) plus r\xE9" "aliste et r\xE9" "essayer.\r\n",
    "Plan de vuelo inv\xE1lido : Por favor seleccione unas horas en ruta m\xE1s realistas y intenta de nuevo.\r\n"};
const PlanText3 kEnrouteMinutes{
    "Invalid flight plan : Please select a more realistic minutes enroute and try again.\r\n",
    "Plan de vol invalide : Choisir une dur\xE9" "e de vol (minutes) plus r\xE9" "aliste et r\xE9" "essayer.\r\n",
    "Plan de vuelo inv\xE1lido : Por favor seleccione unos minutos en ruta m\xE1s realistas y intenta de "
    "nuevo.\r\n"};
const PlanText3 kFuelHour{
    "Invalid flight plan : Please select a more realistic hour fuel and try again.\r\n",
    "Plan de vol invalide : Choisir une autonomie (heures) plus r\xE9" "aliste et r\xE9" "essayer.\r\n",
    "Plan de vuelo inv\xE1lido : Por favor seleccione unas horas de combustible m\xE1s realistas y intenta de "
    "nuevo.\r\n"};
const PlanText3 kFuelMinutes{
    "Invalid flight plan : Please select a more realistic minutes fuel and try again.\r\n",
    "Plan de vol invalide : Choisir une autonomie (minutes) plus r\xE9" "aliste et r\xE9" "essayer.\r\n",
    "Plan de vuelo inv\xE1lido : Por favor seleccione unos minutos de combustible m\xE1s realistas y intenta de "
    "nuevo.\r\n"};
const PlanText3 kRoute{"Invalid flight plan : Please enter a route and try again.\r\n",
                       "Plan de vol invalide : Entrer une route et r\xE9" "essayer.\r\n",
                       "Plan de vuelo inv\xE1lido : Por favor introduzca una ruta y intenta de nuevo.\r\n"};
const PlanText3 kAircraftType{
    "Invalid flight plan : Please select an aircraft type and try again.\r\n",
    "Plan de vol invalide : Selectionner un type d'avion et r\xE9" "essayer.\r\n",
    "Plan de vuelo inv\xE1lido : Por favor seleccione un tipo de avi\xF3n y intenta de nuevo.\r\n"};
const PlanText3 kFlightPlanLabel{"Flight plan : ", "Plan de vol : ", "Plan de vuelo : "};
const PlanText3 kReadyToSend{"Ready to send.", "Pr\xEAt \xE0 \xEAtre envoy\xE9.", "Listo para enviar."};
const PlanText3 kLoadError{"Error when loading flight plan", "Erreur de chargement du plan de vol",
                           "Error cargando el plan de vuelo.\r\n"};
const PlanText3 kSaveError{"Error when saving flight plan", "Erreur de sauvegarde du plan de vol",
                           "Error guardando el plan de vuelo.\r\n"};
const PlanText3 kAmendmentRefusedBy{"The flight plan amended by ", "Le plan de vol modifi\xE9 par ",
                                    "El plan de vuelo modificado por "};
const PlanText3 kAmendmentRefused{" was refused : your flight plan is unchanged.",
                                  " a \xE9t\xE9 refus\xE9 : votre plan de vol n'a pas chang\xE9.",
                                  " fue rechazado : su plan de vuelo no ha cambiado."};
}  // namespace plan_text

const char* PlanMessage(const PlanText3& text) {
  ResetUnknownLanguage();
  return PickLanguage(text.en, text.fr, text.es);
}
