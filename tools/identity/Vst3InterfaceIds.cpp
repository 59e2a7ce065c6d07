// The interface IDs the module tests ask for, defined once.
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

namespace Steinberg::Vst
{
DEF_CLASS_IID (IComponent)
DEF_CLASS_IID (IAudioProcessor)
}
