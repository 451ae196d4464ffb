-- Renders Korvel in Ardour with its Dummy audio backend: an audio track fed by Ardour's
-- "SinGen" sine generator, with Korvel after it, is exported to a WAV file.
--
--     ardour7-lua render-session.lua <plan file>
--
-- The plan file is a Lua chunk returning a table:
--     format      "VST3" or "LV2"
--     plugin      the plug-in's name (VST3) or URI (LV2)
--     session     folder for the new session
--     folder      folder for the exported WAV file
--     name        name of the WAV file, without extension
--     preset      UUID of the export preset (32-bit float WAV at the session rate)
--     rate        session sample rate
--     seconds     length of the export
--     frequency   generator frequency in Hz
--     level       generator level in dBFS
--     korvel      false to have Ardour deactivate the plug-in
--     parameters  { [parameter name] = value from 0 to 1 }
--
-- Ardour shows VST3 parameters from 0 to 1 and LV2 parameters in their own units, so each
-- value is placed within the range the control itself declares.
--
-- "render-session: exported" is printed once the WAV file is written. One session makes one
-- export: in Ardour 7.3's Lua session tool a second exporter in the same session corrupts
-- the heap and a reused one writes empty files. Even one export now and then crashes or
-- deadlocks in Ardour's own export code, with Ardour's own plug-ins as much as with Korvel,
-- so the caller runs a render again when the line is missing.

local plan = dofile (arg[1])

local function fail (message)
	print ("render-session: " .. message)
	os.exit (1)
end

ARDOUR.config ():set_hide_dummy_backend (false)

if not AudioEngine:set_backend ("None (Dummy)", "", "") then
	fail ("Ardour offers no Dummy backend")
end

if not create_session (plan.session, "korvel", plan.rate) then
	fail ("cannot create a session in " .. plan.session)
end

local track = Session:new_audio_track (2, 2, nil, 1, "Korvel", -1, ARDOUR.TrackMode.Normal, true):front ()

local generator = ARDOUR.LuaAPI.new_luaproc (Session, "SinGen")

if generator:isnil () then
	fail ("Ardour has no SinGen generator")
end

track:add_processor_by_index (generator, 0, nil, true)
ARDOUR.LuaAPI.set_processor_param (generator, 0, plan.frequency)
ARDOUR.LuaAPI.set_processor_param (generator, 1, plan.level)

local pluginType = plan.format == "LV2" and ARDOUR.PluginType.LV2 or ARDOUR.PluginType.VST3
local korvel = ARDOUR.LuaAPI.new_plugin (Session, plan.plugin, pluginType, "")

if korvel:isnil () then
	fail ("Ardour finds no " .. plan.format .. " plug-in " .. plan.plugin)
end

track:add_processor_by_index (korvel, 1, nil, true)

local function findControl (name)
	local automatable = korvel:to_automatable ()

	for parameter in automatable:all_automatable_params ():iter () do
		local control = automatable:automation_control (parameter, false)

		if not control:isnil () and control:desc ().label == name then
			return control
		end
	end

	fail ("Korvel as " .. plan.format .. " shows no parameter named " .. name)
end

local function setParameter (name, value)
	local control = findControl (name)
	local range = control:desc ()
	control:set_value (range.lower + value * (range.upper - range.lower), PBD.GroupControlDisposition.NoGroup)
end

if plan.korvel == false then
	korvel:deactivate ()
end

for name, value in pairs (plan.parameters) do
	setParameter (name, value)
end

local export = Session:simple_export ()

if not export:set_preset (plan.preset) then
	fail ("Ardour does not know the export preset " .. plan.preset)
end

export:set_folder (plan.folder)
export:set_name (plan.name)
export:set_range (0, math.floor (plan.seconds * plan.rate))

if not export:run_export () then
	fail ("the export of " .. plan.name .. " failed")
end

print ("render-session: exported")
close_session ()
