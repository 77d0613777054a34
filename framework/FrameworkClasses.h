#pragma once

// Registers the framework's own classes with the run time, each after its base.
void RuntimeRegisterFrameworkClasses();
