{
	"patcher" : {
		"fileversion" : 1,
		"appversion" : {
			"major" : 8,
			"minor" : 5,
			"revision" : 0,
			"architecture" : "x64",
			"modernui" : 1
		},
		"classnamespace" : "box",
		"rect" : [ 50.0, 80.0, 1160.0, 800.0 ],
		"default_fontsize" : 12.0,
		"default_fontname" : "Arial",
		"gridsize" : [ 15.0, 15.0 ],
		"boxes" : [
			{
				"box" : {
					"id" : "obj-tab-basic",
					"maxclass" : "newobj",
					"numinlets" : 0,
					"numoutlets" : 0,
					"patcher" : {
						"fileversion" : 1,
						"appversion" : {
							"major" : 8,
							"minor" : 5,
							"revision" : 0,
							"architecture" : "x64",
							"modernui" : 1
						},
						"classnamespace" : "box",
						"rect" : [ 0.0, 26.0, 1160.0, 760.0 ],
						"default_fontsize" : 12.0,
						"default_fontname" : "Arial",
						"gridsize" : [ 15.0, 15.0 ],
						"showontab" : 1,
						"boxes" : [
							{
								"box" : {
									"id" : "obj-title",
									"maxclass" : "comment",
									"fontsize" : 24.0,
									"fontface" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 10.0, 500.0, 36.0 ],
									"text" : "vorlo~"
								}
							},
							{
								"box" : {
									"id" : "obj-digest",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 50.0, 760.0, 20.0 ],
									"text" : "decodes an audio file with FFmpeg into a buffer~, on a thread of its own"
								}
							},
							{
								"box" : {
									"id" : "obj-loadbang",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 20.0, 90.0, 60.0, 22.0 ],
									"text" : "loadbang"
								}
							},
							{
								"box" : {
									"id" : "obj-msg1",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 120.0, 160.0, 22.0 ],
									"text" : "replace vorlo-demo.flac"
								}
							},
							{
								"box" : {
									"id" : "obj-note1",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 0,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 40.0, 150.0, 190.0, 76.0 ],
									"text" : "a file by name, found in Max's search path as buffer~ finds it (the package's media folder holds this one)"
								}
							},
							{
								"box" : {
									"id" : "obj-msg2",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 40.0, 230.0, 50.0, 22.0 ],
									"text" : "break"
								}
							},
							{
								"box" : {
									"id" : "obj-note2",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 95.0, 230.0, 120.0, 24.0 ],
									"text" : "stops a load"
								}
							},
							{
								"box" : {
									"id" : "obj-pick",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 250.0, 90.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-picknote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 278.0, 90.0, 110.0, 24.0 ],
									"text" : "pick a file"
								}
							},
							{
								"box" : {
									"id" : "obj-dialog",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 2,
									"outlettype" : [ "", "bang" ],
									"patching_rect" : [ 250.0, 120.0, 110.0, 22.0 ],
									"text" : "opendialog sound"
								}
							},
							{
								"box" : {
									"id" : "obj-drop",
									"maxclass" : "dropfile",
									"numinlets" : 1,
									"numoutlets" : 2,
									"outlettype" : [ "", "" ],
									"patching_rect" : [ 580.0, 84.0, 330.0, 100.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-dropnote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 660.0, 122.0, 200.0, 20.0 ],
									"text" : "or drop a sound file here"
								}
							},
							{
								"box" : {
									"id" : "obj-prepend",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 250.0, 195.0, 100.0, 22.0 ],
									"text" : "prepend replace"
								}
							},
							{
								"box" : {
									"id" : "obj-msg3",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 250.0, 230.0, 90.0, 22.0 ],
									"text" : "set vorlo-snd"
								}
							},
							{
								"box" : {
									"id" : "obj-note3",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 345.0, 230.0, 175.0, 24.0 ],
									"text" : "the buffer~ to load into"
								}
							},
							{
								"box" : {
									"id" : "obj-vorlo",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 4,
									"outlettype" : [ "list", "bang", "bang", "" ],
									"patching_rect" : [ 20.0, 270.0, 330.0, 22.0 ],
									"text" : "vorlo~ vorlo-snd"
								}
							},
							{
								"box" : {
									"id" : "obj-propset",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 310.0, 80.0, 22.0 ],
									"text" : "prepend set"
								}
							},
							{
								"box" : {
									"id" : "obj-props",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 345.0, 430.0, 22.0 ],
									"text" : ""
								}
							},
							{
								"box" : {
									"id" : "obj-propsnote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 370.0, 430.0, 20.0 ],
									"text" : "file properties: rate, channels, length (ms), start (ms), channel layout, codec, source"
								}
							},
							{
								"box" : {
									"id" : "obj-done",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 122.0, 310.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-donenote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 148.0, 312.0, 80.0, 20.0 ],
									"text" : "done"
								}
							},
							{
								"box" : {
									"id" : "obj-error",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 224.0, 310.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-errornote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 250.0, 312.0, 80.0, 34.0 ],
									"text" : "error: see the console"
								}
							},
							{
								"box" : {
									"id" : "obj-spare",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 326.0, 310.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-sparenote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 352.0, 312.0, 80.0, 34.0 ],
									"text" : "spare, never fires"
								}
							},
							{
								"box" : {
									"id" : "obj-buffer",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 2,
									"outlettype" : [ "float", "bang" ],
									"patching_rect" : [ 20.0, 410.0, 120.0, 22.0 ],
									"text" : "buffer~ vorlo-snd"
								}
							},
							{
								"box" : {
									"id" : "obj-buffernote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 150.0, 410.0, 260.0, 24.0 ],
									"text" : "double-click it, or vorlo~, to see the samples"
								}
							},
							{
								"box" : {
									"id" : "obj-tabs",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 450.0, 420.0, 34.0 ],
									"text" : "The tabs above show sections, import with gain and fades, another buffer~ as the source, metadata and the attributes."
								}
							},
							{
								"box" : {
									"id" : "obj-wfset",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 580.0, 310.0, 110.0, 22.0 ],
									"text" : "set vorlo-snd"
								}
							},
							{
								"box" : {
									"id" : "obj-wfnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 700.0, 310.0, 190.0, 24.0 ],
									"text" : "after each load: show it"
								}
							},
							{
								"box" : {
									"id" : "obj-waveform",
									"maxclass" : "waveform~",
									"buffername" : "vorlo-snd",
									"numinlets" : 5,
									"numoutlets" : 6,
									"outlettype" : [ "float", "float", "float", "float", "list", "" ],
									"patching_rect" : [ 580.0, 340.0, 330.0, 110.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-sig",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 580.0, 470.0, 50.0, 22.0 ],
									"text" : "sig~ 1"
								}
							},
							{
								"box" : {
									"id" : "obj-rewind",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 650.0, 470.0, 30.0, 22.0 ],
									"text" : "0"
								}
							},
							{
								"box" : {
									"id" : "obj-rewindnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 685.0, 470.0, 125.0, 24.0 ],
									"text" : "play from the start"
								}
							},
							{
								"box" : {
									"id" : "obj-looptoggle",
									"maxclass" : "toggle",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "int" ],
									"patching_rect" : [ 820.0, 470.0, 22.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-loop",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 850.0, 470.0, 60.0, 22.0 ],
									"text" : "loop $1"
								}
							},
							{
								"box" : {
									"id" : "obj-groove",
									"maxclass" : "newobj",
									"numinlets" : 3,
									"numoutlets" : 3,
									"outlettype" : [ "signal", "signal", "signal" ],
									"patching_rect" : [ 580.0, 510.0, 150.0, 22.0 ],
									"text" : "groove~ vorlo-snd 2"
								}
							},
							{
								"box" : {
									"id" : "obj-gainbang",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 780.0, 510.0, 60.0, 22.0 ],
									"text" : "loadbang"
								}
							},
							{
								"box" : {
									"id" : "obj-gaininit",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 850.0, 510.0, 30.0, 22.0 ],
									"text" : "0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-gain",
									"maxclass" : "flonum",
									"minimum" : 0.0,
									"maximum" : 1.0,
									"format" : 6,
									"numinlets" : 1,
									"numoutlets" : 2,
									"outlettype" : [ "", "bang" ],
									"patching_rect" : [ 780.0, 540.0, 50.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-gainnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 835.0, 540.0, 75.0, 24.0 ],
									"text" : "gain 0-1"
								}
							},
							{
								"box" : {
									"id" : "obj-gainl",
									"maxclass" : "newobj",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 580.0, 570.0, 50.0, 22.0 ],
									"text" : "*~ 0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-gainr",
									"maxclass" : "newobj",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 650.0, 570.0, 50.0, 22.0 ],
									"text" : "*~ 0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-dac",
									"maxclass" : "ezdac~",
									"numinlets" : 2,
									"numoutlets" : 0,
									"patching_rect" : [ 580.0, 610.0, 45.0, 45.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-dacnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 635.0, 620.0, 180.0, 24.0 ],
									"text" : "turn the audio on here"
								}
							}
						],
						"lines" : [
							{
								"patchline" : {
									"source" : [ "obj-loadbang", 0 ],
									"destination" : [ "obj-msg1", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-pick", 0 ],
									"destination" : [ "obj-dialog", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-dialog", 0 ],
									"destination" : [ "obj-prepend", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-drop", 0 ],
									"destination" : [ "obj-prepend", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 0 ],
									"destination" : [ "obj-propset", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-propset", 0 ],
									"destination" : [ "obj-props", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 1 ],
									"destination" : [ "obj-done", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 2 ],
									"destination" : [ "obj-error", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 3 ],
									"destination" : [ "obj-spare", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg1", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg2", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-prepend", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg3", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 1 ],
									"destination" : [ "obj-wfset", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-wfset", 0 ],
									"destination" : [ "obj-waveform", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-looptoggle", 0 ],
									"destination" : [ "obj-loop", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-sig", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-rewind", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-loop", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainbang", 0 ],
									"destination" : [ "obj-gaininit", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gaininit", 0 ],
									"destination" : [ "obj-gain", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-groove", 0 ],
									"destination" : [ "obj-gainl", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-groove", 1 ],
									"destination" : [ "obj-gainr", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gain", 0 ],
									"destination" : [ "obj-gainl", 1 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gain", 0 ],
									"destination" : [ "obj-gainr", 1 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainl", 0 ],
									"destination" : [ "obj-dac", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainr", 0 ],
									"destination" : [ "obj-dac", 1 ]
								}
							}
						],
						"dependency_cache" : [ ],
						"autosave" : 0
					},
					"patching_rect" : [ 20.0, 20.0, 100.0, 22.0 ],
					"text" : "p basic",
					"varname" : "basic"
				}
			},
			{
				"box" : {
					"id" : "obj-tab-sections",
					"maxclass" : "newobj",
					"numinlets" : 0,
					"numoutlets" : 0,
					"patcher" : {
						"fileversion" : 1,
						"appversion" : {
							"major" : 8,
							"minor" : 5,
							"revision" : 0,
							"architecture" : "x64",
							"modernui" : 1
						},
						"classnamespace" : "box",
						"rect" : [ 0.0, 26.0, 1160.0, 760.0 ],
						"default_fontsize" : 12.0,
						"default_fontname" : "Arial",
						"gridsize" : [ 15.0, 15.0 ],
						"showontab" : 1,
						"boxes" : [
							{
								"box" : {
									"id" : "obj-title",
									"maxclass" : "comment",
									"fontsize" : 24.0,
									"fontface" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 10.0, 500.0, 36.0 ],
									"text" : "sections"
								}
							},
							{
								"box" : {
									"id" : "obj-digest",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 50.0, 760.0, 20.0 ],
									"text" : "a part of the file, its channels chosen or mixed; the buffer~ is sized to it"
								}
							},
							{
								"box" : {
									"id" : "obj-msg1",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 90.0, 290.0, 22.0 ],
									"text" : "importreplace vorlo-demo.flac 1 sec 500 ms"
								}
							},
							{
								"box" : {
									"id" : "obj-note1",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 320.0, 90.0, 420.0, 20.0 ],
									"text" : "500 ms from 1 s on"
								}
							},
							{
								"box" : {
									"id" : "obj-msg2",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 120.0, 290.0, 22.0 ],
									"text" : "importreplace vorlo-demo.flac 25 pct 50 pct"
								}
							},
							{
								"box" : {
									"id" : "obj-note2",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 320.0, 120.0, 420.0, 20.0 ],
									"text" : "the middle half (units: sec, ms, pct)"
								}
							},
							{
								"box" : {
									"id" : "obj-msg3",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 150.0, 290.0, 22.0 ],
									"text" : "replace vorlo-demo.flac 0 sec 0 sec s_mono"
								}
							},
							{
								"box" : {
									"id" : "obj-note3",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 320.0, 150.0, 420.0, 20.0 ],
									"text" : "the whole file mixed down to one channel"
								}
							},
							{
								"box" : {
									"id" : "obj-msg4",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 180.0, 290.0, 22.0 ],
									"text" : "replace vorlo-demo.flac 0 sec 0 sec route 1 0 0 1"
								}
							},
							{
								"box" : {
									"id" : "obj-note4",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 320.0, 180.0, 420.0, 20.0 ],
									"text" : "left and right swapped (route IN OUT ...)"
								}
							},
							{
								"box" : {
									"id" : "obj-msg5",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 210.0, 290.0, 22.0 ],
									"text" : "replace vorlo-demo.flac 0 sec 2 sec mono"
								}
							},
							{
								"box" : {
									"id" : "obj-note5",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 320.0, 210.0, 420.0, 20.0 ],
									"text" : "the first 2 s of the left channel only"
								}
							},
							{
								"box" : {
									"id" : "obj-vorlo",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 4,
									"outlettype" : [ "list", "bang", "bang", "" ],
									"patching_rect" : [ 20.0, 260.0, 330.0, 22.0 ],
									"text" : "vorlo~ vorlo-part"
								}
							},
							{
								"box" : {
									"id" : "obj-propset",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 300.0, 80.0, 22.0 ],
									"text" : "prepend set"
								}
							},
							{
								"box" : {
									"id" : "obj-props",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 335.0, 430.0, 22.0 ],
									"text" : ""
								}
							},
							{
								"box" : {
									"id" : "obj-propsnote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 360.0, 430.0, 20.0 ],
									"text" : "file properties: rate, channels, length (ms), start (ms), channel layout, codec, source"
								}
							},
							{
								"box" : {
									"id" : "obj-done",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 122.0, 300.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-donenote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 148.0, 302.0, 80.0, 20.0 ],
									"text" : "done"
								}
							},
							{
								"box" : {
									"id" : "obj-error",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 224.0, 300.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-errornote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 250.0, 302.0, 80.0, 34.0 ],
									"text" : "error: see the console"
								}
							},
							{
								"box" : {
									"id" : "obj-spare",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 326.0, 300.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-sparenote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 352.0, 302.0, 80.0, 34.0 ],
									"text" : "spare, never fires"
								}
							},
							{
								"box" : {
									"id" : "obj-buffer",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 2,
									"outlettype" : [ "float", "bang" ],
									"patching_rect" : [ 20.0, 400.0, 120.0, 22.0 ],
									"text" : "buffer~ vorlo-part"
								}
							},
							{
								"box" : {
									"id" : "obj-wfset",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 760.0, 300.0, 110.0, 22.0 ],
									"text" : "set vorlo-part"
								}
							},
							{
								"box" : {
									"id" : "obj-wfnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 880.0, 300.0, 190.0, 24.0 ],
									"text" : "after each load: show it"
								}
							},
							{
								"box" : {
									"id" : "obj-waveform",
									"maxclass" : "waveform~",
									"buffername" : "vorlo-part",
									"numinlets" : 5,
									"numoutlets" : 6,
									"outlettype" : [ "float", "float", "float", "float", "list", "" ],
									"patching_rect" : [ 760.0, 330.0, 330.0, 110.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-sig",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 760.0, 460.0, 50.0, 22.0 ],
									"text" : "sig~ 1"
								}
							},
							{
								"box" : {
									"id" : "obj-rewind",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 830.0, 460.0, 30.0, 22.0 ],
									"text" : "0"
								}
							},
							{
								"box" : {
									"id" : "obj-rewindnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 865.0, 460.0, 125.0, 24.0 ],
									"text" : "play from the start"
								}
							},
							{
								"box" : {
									"id" : "obj-looptoggle",
									"maxclass" : "toggle",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "int" ],
									"patching_rect" : [ 1000.0, 460.0, 22.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-loop",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 1030.0, 460.0, 60.0, 22.0 ],
									"text" : "loop $1"
								}
							},
							{
								"box" : {
									"id" : "obj-groove",
									"maxclass" : "newobj",
									"numinlets" : 3,
									"numoutlets" : 3,
									"outlettype" : [ "signal", "signal", "signal" ],
									"patching_rect" : [ 760.0, 500.0, 150.0, 22.0 ],
									"text" : "groove~ vorlo-part 2"
								}
							},
							{
								"box" : {
									"id" : "obj-gainbang",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 960.0, 500.0, 60.0, 22.0 ],
									"text" : "loadbang"
								}
							},
							{
								"box" : {
									"id" : "obj-gaininit",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 1030.0, 500.0, 30.0, 22.0 ],
									"text" : "0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-gain",
									"maxclass" : "flonum",
									"minimum" : 0.0,
									"maximum" : 1.0,
									"format" : 6,
									"numinlets" : 1,
									"numoutlets" : 2,
									"outlettype" : [ "", "bang" ],
									"patching_rect" : [ 960.0, 530.0, 50.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-gainnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 1015.0, 530.0, 75.0, 24.0 ],
									"text" : "gain 0-1"
								}
							},
							{
								"box" : {
									"id" : "obj-gainl",
									"maxclass" : "newobj",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 760.0, 560.0, 50.0, 22.0 ],
									"text" : "*~ 0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-gainr",
									"maxclass" : "newobj",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 830.0, 560.0, 50.0, 22.0 ],
									"text" : "*~ 0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-dac",
									"maxclass" : "ezdac~",
									"numinlets" : 2,
									"numoutlets" : 0,
									"patching_rect" : [ 760.0, 600.0, 45.0, 45.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-dacnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 815.0, 610.0, 180.0, 24.0 ],
									"text" : "turn the audio on here"
								}
							}
						],
						"lines" : [
							{
								"patchline" : {
									"source" : [ "obj-msg1", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg2", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg3", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg4", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg5", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 0 ],
									"destination" : [ "obj-propset", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-propset", 0 ],
									"destination" : [ "obj-props", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 1 ],
									"destination" : [ "obj-done", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 2 ],
									"destination" : [ "obj-error", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 3 ],
									"destination" : [ "obj-spare", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 1 ],
									"destination" : [ "obj-wfset", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-wfset", 0 ],
									"destination" : [ "obj-waveform", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-looptoggle", 0 ],
									"destination" : [ "obj-loop", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-sig", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-rewind", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-loop", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainbang", 0 ],
									"destination" : [ "obj-gaininit", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gaininit", 0 ],
									"destination" : [ "obj-gain", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-groove", 0 ],
									"destination" : [ "obj-gainl", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-groove", 1 ],
									"destination" : [ "obj-gainr", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gain", 0 ],
									"destination" : [ "obj-gainl", 1 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gain", 0 ],
									"destination" : [ "obj-gainr", 1 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainl", 0 ],
									"destination" : [ "obj-dac", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainr", 0 ],
									"destination" : [ "obj-dac", 1 ]
								}
							}
						],
						"dependency_cache" : [ ],
						"autosave" : 0
					},
					"patching_rect" : [ 130.0, 20.0, 100.0, 22.0 ],
					"text" : "p sections",
					"varname" : "sections"
				}
			},
			{
				"box" : {
					"id" : "obj-tab-import",
					"maxclass" : "newobj",
					"numinlets" : 0,
					"numoutlets" : 0,
					"patcher" : {
						"fileversion" : 1,
						"appversion" : {
							"major" : 8,
							"minor" : 5,
							"revision" : 0,
							"architecture" : "x64",
							"modernui" : 1
						},
						"classnamespace" : "box",
						"rect" : [ 0.0, 26.0, 1160.0, 760.0 ],
						"default_fontsize" : 12.0,
						"default_fontname" : "Arial",
						"gridsize" : [ 15.0, 15.0 ],
						"showontab" : 1,
						"boxes" : [
							{
								"box" : {
									"id" : "obj-title",
									"maxclass" : "comment",
									"fontsize" : 24.0,
									"fontface" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 10.0, 500.0, 36.0 ],
									"text" : "import"
								}
							},
							{
								"box" : {
									"id" : "obj-digest",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 50.0, 760.0, 20.0 ],
									"text" : "into the buffer~ as it is, without resizing it: written over, or mixed in with a gain and fades"
								}
							},
							{
								"box" : {
									"id" : "obj-msg1",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 90.0, 290.0, 22.0 ],
									"text" : "import vorlo-demo.flac 0 sec 50 bufpct 1 sec"
								}
							},
							{
								"box" : {
									"id" : "obj-note1",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 320.0, 90.0, 420.0, 20.0 ],
									"text" : "the file's start, half the buffer~ long (bufpct), from 1 s on"
								}
							},
							{
								"box" : {
									"id" : "obj-msg2",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 120.0, 290.0, 22.0 ],
									"text" : "import vorlo-demo.flac 1 sec 1 sec 0 sec s_stereo"
								}
							},
							{
								"box" : {
									"id" : "obj-note2",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 320.0, 120.0, 420.0, 20.0 ],
									"text" : "1 s from 1 s on, to the start"
								}
							},
							{
								"box" : {
									"id" : "obj-msg3",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 150.0, 290.0, 22.0 ],
									"text" : "importreplace vorlo-demo.flac"
								}
							},
							{
								"box" : {
									"id" : "obj-note3",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 320.0, 150.0, 420.0, 20.0 ],
									"text" : "start again: the whole file, the buffer~ sized to it"
								}
							},
							{
								"box" : {
									"id" : "obj-vorlo",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 4,
									"outlettype" : [ "list", "bang", "bang", "" ],
									"patching_rect" : [ 20.0, 200.0, 330.0, 22.0 ],
									"text" : "vorlo~ vorlo-mix @import_mix 1 @import_gain -6 @fadein 100 @fadeout 100"
								}
							},
							{
								"box" : {
									"id" : "obj-propset",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 240.0, 80.0, 22.0 ],
									"text" : "prepend set"
								}
							},
							{
								"box" : {
									"id" : "obj-props",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 275.0, 430.0, 22.0 ],
									"text" : ""
								}
							},
							{
								"box" : {
									"id" : "obj-propsnote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 300.0, 430.0, 20.0 ],
									"text" : "file properties: rate, channels, length (ms), start (ms), channel layout, codec, source"
								}
							},
							{
								"box" : {
									"id" : "obj-done",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 122.0, 240.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-donenote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 148.0, 242.0, 80.0, 20.0 ],
									"text" : "done"
								}
							},
							{
								"box" : {
									"id" : "obj-error",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 224.0, 240.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-errornote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 250.0, 242.0, 80.0, 34.0 ],
									"text" : "error: see the console"
								}
							},
							{
								"box" : {
									"id" : "obj-spare",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 326.0, 240.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-sparenote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 352.0, 242.0, 80.0, 34.0 ],
									"text" : "spare, never fires"
								}
							},
							{
								"box" : {
									"id" : "obj-buffer",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 2,
									"outlettype" : [ "float", "bang" ],
									"patching_rect" : [ 20.0, 340.0, 160.0, 22.0 ],
									"text" : "buffer~ vorlo-mix 4000 2"
								}
							},
							{
								"box" : {
									"id" : "obj-buffernote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 190.0, 340.0, 200.0, 24.0 ],
									"text" : "4 s of stereo silence to start with"
								}
							},
							{
								"box" : {
									"id" : "obj-attr-import_mix",
									"maxclass" : "attrui",
									"attr" : "import_mix",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 390.0, 250.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-attr-import_gain",
									"maxclass" : "attrui",
									"attr" : "import_gain",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 418.0, 250.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-attr-fadein",
									"maxclass" : "attrui",
									"attr" : "fadein",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 446.0, 250.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-attr-fadein_exp",
									"maxclass" : "attrui",
									"attr" : "fadein_exp",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 474.0, 250.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-attr-fadeout",
									"maxclass" : "attrui",
									"attr" : "fadeout",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 502.0, 250.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-attr-fadeout_exp",
									"maxclass" : "attrui",
									"attr" : "fadeout_exp",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 530.0, 250.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-attrnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 280.0, 390.0, 300.0, 62.0 ],
									"text" : "import_mix 1 adds to what is there, 0 writes over it; import_gain in dB; fades in ms, shaped by their exponents"
								}
							},
							{
								"box" : {
									"id" : "obj-wfset",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 760.0, 240.0, 110.0, 22.0 ],
									"text" : "set vorlo-mix"
								}
							},
							{
								"box" : {
									"id" : "obj-wfnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 880.0, 240.0, 190.0, 24.0 ],
									"text" : "after each load: show it"
								}
							},
							{
								"box" : {
									"id" : "obj-waveform",
									"maxclass" : "waveform~",
									"buffername" : "vorlo-mix",
									"numinlets" : 5,
									"numoutlets" : 6,
									"outlettype" : [ "float", "float", "float", "float", "list", "" ],
									"patching_rect" : [ 760.0, 270.0, 330.0, 110.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-sig",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 760.0, 400.0, 50.0, 22.0 ],
									"text" : "sig~ 1"
								}
							},
							{
								"box" : {
									"id" : "obj-rewind",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 830.0, 400.0, 30.0, 22.0 ],
									"text" : "0"
								}
							},
							{
								"box" : {
									"id" : "obj-rewindnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 865.0, 400.0, 125.0, 24.0 ],
									"text" : "play from the start"
								}
							},
							{
								"box" : {
									"id" : "obj-looptoggle",
									"maxclass" : "toggle",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "int" ],
									"patching_rect" : [ 1000.0, 400.0, 22.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-loop",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 1030.0, 400.0, 60.0, 22.0 ],
									"text" : "loop $1"
								}
							},
							{
								"box" : {
									"id" : "obj-groove",
									"maxclass" : "newobj",
									"numinlets" : 3,
									"numoutlets" : 3,
									"outlettype" : [ "signal", "signal", "signal" ],
									"patching_rect" : [ 760.0, 440.0, 150.0, 22.0 ],
									"text" : "groove~ vorlo-mix 2"
								}
							},
							{
								"box" : {
									"id" : "obj-gainbang",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 960.0, 440.0, 60.0, 22.0 ],
									"text" : "loadbang"
								}
							},
							{
								"box" : {
									"id" : "obj-gaininit",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 1030.0, 440.0, 30.0, 22.0 ],
									"text" : "0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-gain",
									"maxclass" : "flonum",
									"minimum" : 0.0,
									"maximum" : 1.0,
									"format" : 6,
									"numinlets" : 1,
									"numoutlets" : 2,
									"outlettype" : [ "", "bang" ],
									"patching_rect" : [ 960.0, 470.0, 50.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-gainnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 1015.0, 470.0, 75.0, 24.0 ],
									"text" : "gain 0-1"
								}
							},
							{
								"box" : {
									"id" : "obj-gainl",
									"maxclass" : "newobj",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 760.0, 500.0, 50.0, 22.0 ],
									"text" : "*~ 0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-gainr",
									"maxclass" : "newobj",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 830.0, 500.0, 50.0, 22.0 ],
									"text" : "*~ 0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-dac",
									"maxclass" : "ezdac~",
									"numinlets" : 2,
									"numoutlets" : 0,
									"patching_rect" : [ 760.0, 540.0, 45.0, 45.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-dacnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 815.0, 550.0, 180.0, 24.0 ],
									"text" : "turn the audio on here"
								}
							}
						],
						"lines" : [
							{
								"patchline" : {
									"source" : [ "obj-msg1", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg2", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg3", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 0 ],
									"destination" : [ "obj-propset", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-propset", 0 ],
									"destination" : [ "obj-props", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 1 ],
									"destination" : [ "obj-done", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 2 ],
									"destination" : [ "obj-error", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 3 ],
									"destination" : [ "obj-spare", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-attr-import_mix", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-attr-import_gain", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-attr-fadein", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-attr-fadein_exp", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-attr-fadeout", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-attr-fadeout_exp", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 1 ],
									"destination" : [ "obj-wfset", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-wfset", 0 ],
									"destination" : [ "obj-waveform", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-looptoggle", 0 ],
									"destination" : [ "obj-loop", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-sig", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-rewind", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-loop", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainbang", 0 ],
									"destination" : [ "obj-gaininit", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gaininit", 0 ],
									"destination" : [ "obj-gain", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-groove", 0 ],
									"destination" : [ "obj-gainl", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-groove", 1 ],
									"destination" : [ "obj-gainr", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gain", 0 ],
									"destination" : [ "obj-gainl", 1 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gain", 0 ],
									"destination" : [ "obj-gainr", 1 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainl", 0 ],
									"destination" : [ "obj-dac", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainr", 0 ],
									"destination" : [ "obj-dac", 1 ]
								}
							}
						],
						"dependency_cache" : [ ],
						"autosave" : 0
					},
					"patching_rect" : [ 240.0, 20.0, 100.0, 22.0 ],
					"text" : "p import",
					"varname" : "import"
				}
			},
			{
				"box" : {
					"id" : "obj-tab-source",
					"maxclass" : "newobj",
					"numinlets" : 0,
					"numoutlets" : 0,
					"patcher" : {
						"fileversion" : 1,
						"appversion" : {
							"major" : 8,
							"minor" : 5,
							"revision" : 0,
							"architecture" : "x64",
							"modernui" : 1
						},
						"classnamespace" : "box",
						"rect" : [ 0.0, 26.0, 1160.0, 760.0 ],
						"default_fontsize" : 12.0,
						"default_fontname" : "Arial",
						"gridsize" : [ 15.0, 15.0 ],
						"showontab" : 1,
						"boxes" : [
							{
								"box" : {
									"id" : "obj-title",
									"maxclass" : "comment",
									"fontsize" : 24.0,
									"fontface" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 10.0, 500.0, 36.0 ],
									"text" : "buffer~ source"
								}
							},
							{
								"box" : {
									"id" : "obj-digest",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 50.0, 760.0, 20.0 ],
									"text" : "another buffer~ as the source of importreplace and import: buffer=NAME"
								}
							},
							{
								"box" : {
									"id" : "obj-loadbang",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 20.0, 90.0, 60.0, 22.0 ],
									"text" : "loadbang"
								}
							},
							{
								"box" : {
									"id" : "obj-srcload",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 120.0, 160.0, 22.0 ],
									"text" : "replace vorlo-demo.flac"
								}
							},
							{
								"box" : {
									"id" : "obj-vorlosrc",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 4,
									"outlettype" : [ "list", "bang", "bang", "" ],
									"patching_rect" : [ 20.0, 155.0, 160.0, 22.0 ],
									"text" : "vorlo~ vorlo-src"
								}
							},
							{
								"box" : {
									"id" : "obj-srcset",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 185.0, 80.0, 22.0 ],
									"text" : "prepend set"
								}
							},
							{
								"box" : {
									"id" : "obj-srcprops",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 215.0, 330.0, 22.0 ],
									"text" : ""
								}
							},
							{
								"box" : {
									"id" : "obj-srcdone",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 105.0, 185.0, 20.0, 20.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-srcerror",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 130.0, 185.0, 20.0, 20.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-srcspare",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 155.0, 185.0, 20.0, 20.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-src",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 2,
									"outlettype" : [ "float", "bang" ],
									"patching_rect" : [ 200.0, 155.0, 120.0, 22.0 ],
									"text" : "buffer~ vorlo-src"
								}
							},
							{
								"box" : {
									"id" : "obj-srcnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 330.0, 150.0, 260.0, 24.0 ],
									"text" : "the source, loaded when the patcher opens"
								}
							},
							{
								"box" : {
									"id" : "obj-msg1",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 260.0, 290.0, 22.0 ],
									"text" : "importreplace buffer=vorlo-src 0 sec 100 ms"
								}
							},
							{
								"box" : {
									"id" : "obj-note1",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 320.0, 260.0, 420.0, 20.0 ],
									"text" : "the first 100 ms of vorlo-src"
								}
							},
							{
								"box" : {
									"id" : "obj-msg2",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 290.0, 290.0, 22.0 ],
									"text" : "importreplace buffer=vorlo-src 1 sec 1 sec s_mono"
								}
							},
							{
								"box" : {
									"id" : "obj-note2",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 320.0, 290.0, 420.0, 20.0 ],
									"text" : "1 s from 1 s on, mixed to one channel"
								}
							},
							{
								"box" : {
									"id" : "obj-msg3",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 320.0, 290.0, 22.0 ],
									"text" : "import buffer=vorlo-src 0 sec 500 ms 250 ms"
								}
							},
							{
								"box" : {
									"id" : "obj-note3",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 320.0, 320.0, 420.0, 20.0 ],
									"text" : "500 ms written from 250 ms on, no resize"
								}
							},
							{
								"box" : {
									"id" : "obj-vorlo",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 4,
									"outlettype" : [ "list", "bang", "bang", "" ],
									"patching_rect" : [ 20.0, 370.0, 330.0, 22.0 ],
									"text" : "vorlo~ vorlo-copy"
								}
							},
							{
								"box" : {
									"id" : "obj-propset",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 410.0, 80.0, 22.0 ],
									"text" : "prepend set"
								}
							},
							{
								"box" : {
									"id" : "obj-props",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 445.0, 430.0, 22.0 ],
									"text" : ""
								}
							},
							{
								"box" : {
									"id" : "obj-propsnote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 470.0, 430.0, 20.0 ],
									"text" : "file properties: rate, channels, length (ms), start (ms), channel layout, codec, source"
								}
							},
							{
								"box" : {
									"id" : "obj-done",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 122.0, 410.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-donenote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 148.0, 412.0, 80.0, 20.0 ],
									"text" : "done"
								}
							},
							{
								"box" : {
									"id" : "obj-error",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 224.0, 410.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-errornote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 250.0, 412.0, 80.0, 34.0 ],
									"text" : "error: see the console"
								}
							},
							{
								"box" : {
									"id" : "obj-spare",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 326.0, 410.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-sparenote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 352.0, 412.0, 80.0, 34.0 ],
									"text" : "spare, never fires"
								}
							},
							{
								"box" : {
									"id" : "obj-buffer",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 2,
									"outlettype" : [ "float", "bang" ],
									"patching_rect" : [ 20.0, 510.0, 160.0, 22.0 ],
									"text" : "buffer~ vorlo-copy 2000 2"
								}
							},
							{
								"box" : {
									"id" : "obj-buffernote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 190.0, 510.0, 200.0, 24.0 ],
									"text" : "import needs a buffer~ that has a size"
								}
							},
							{
								"box" : {
									"id" : "obj-wfset",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 760.0, 410.0, 110.0, 22.0 ],
									"text" : "set vorlo-copy"
								}
							},
							{
								"box" : {
									"id" : "obj-wfnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 880.0, 410.0, 190.0, 24.0 ],
									"text" : "after each load: show it"
								}
							},
							{
								"box" : {
									"id" : "obj-waveform",
									"maxclass" : "waveform~",
									"buffername" : "vorlo-copy",
									"numinlets" : 5,
									"numoutlets" : 6,
									"outlettype" : [ "float", "float", "float", "float", "list", "" ],
									"patching_rect" : [ 760.0, 440.0, 330.0, 110.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-sig",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 760.0, 570.0, 50.0, 22.0 ],
									"text" : "sig~ 1"
								}
							},
							{
								"box" : {
									"id" : "obj-rewind",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 830.0, 570.0, 30.0, 22.0 ],
									"text" : "0"
								}
							},
							{
								"box" : {
									"id" : "obj-rewindnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 865.0, 570.0, 125.0, 24.0 ],
									"text" : "play from the start"
								}
							},
							{
								"box" : {
									"id" : "obj-looptoggle",
									"maxclass" : "toggle",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "int" ],
									"patching_rect" : [ 1000.0, 570.0, 22.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-loop",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 1030.0, 570.0, 60.0, 22.0 ],
									"text" : "loop $1"
								}
							},
							{
								"box" : {
									"id" : "obj-groove",
									"maxclass" : "newobj",
									"numinlets" : 3,
									"numoutlets" : 3,
									"outlettype" : [ "signal", "signal", "signal" ],
									"patching_rect" : [ 760.0, 610.0, 150.0, 22.0 ],
									"text" : "groove~ vorlo-copy 2"
								}
							},
							{
								"box" : {
									"id" : "obj-gainbang",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 960.0, 610.0, 60.0, 22.0 ],
									"text" : "loadbang"
								}
							},
							{
								"box" : {
									"id" : "obj-gaininit",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 1030.0, 610.0, 30.0, 22.0 ],
									"text" : "0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-gain",
									"maxclass" : "flonum",
									"minimum" : 0.0,
									"maximum" : 1.0,
									"format" : 6,
									"numinlets" : 1,
									"numoutlets" : 2,
									"outlettype" : [ "", "bang" ],
									"patching_rect" : [ 960.0, 640.0, 50.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-gainnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 1015.0, 640.0, 75.0, 24.0 ],
									"text" : "gain 0-1"
								}
							},
							{
								"box" : {
									"id" : "obj-gainl",
									"maxclass" : "newobj",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 760.0, 670.0, 50.0, 22.0 ],
									"text" : "*~ 0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-gainr",
									"maxclass" : "newobj",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 830.0, 670.0, 50.0, 22.0 ],
									"text" : "*~ 0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-dac",
									"maxclass" : "ezdac~",
									"numinlets" : 2,
									"numoutlets" : 0,
									"patching_rect" : [ 760.0, 710.0, 45.0, 45.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-dacnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 815.0, 720.0, 180.0, 24.0 ],
									"text" : "turn the audio on here"
								}
							}
						],
						"lines" : [
							{
								"patchline" : {
									"source" : [ "obj-loadbang", 0 ],
									"destination" : [ "obj-srcload", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-srcload", 0 ],
									"destination" : [ "obj-vorlosrc", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlosrc", 0 ],
									"destination" : [ "obj-srcset", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-srcset", 0 ],
									"destination" : [ "obj-srcprops", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlosrc", 1 ],
									"destination" : [ "obj-srcdone", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlosrc", 2 ],
									"destination" : [ "obj-srcerror", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlosrc", 3 ],
									"destination" : [ "obj-srcspare", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg1", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg2", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg3", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 0 ],
									"destination" : [ "obj-propset", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-propset", 0 ],
									"destination" : [ "obj-props", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 1 ],
									"destination" : [ "obj-done", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 2 ],
									"destination" : [ "obj-error", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 3 ],
									"destination" : [ "obj-spare", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 1 ],
									"destination" : [ "obj-wfset", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-wfset", 0 ],
									"destination" : [ "obj-waveform", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-looptoggle", 0 ],
									"destination" : [ "obj-loop", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-sig", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-rewind", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-loop", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainbang", 0 ],
									"destination" : [ "obj-gaininit", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gaininit", 0 ],
									"destination" : [ "obj-gain", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-groove", 0 ],
									"destination" : [ "obj-gainl", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-groove", 1 ],
									"destination" : [ "obj-gainr", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gain", 0 ],
									"destination" : [ "obj-gainl", 1 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gain", 0 ],
									"destination" : [ "obj-gainr", 1 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainl", 0 ],
									"destination" : [ "obj-dac", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainr", 0 ],
									"destination" : [ "obj-dac", 1 ]
								}
							}
						],
						"dependency_cache" : [ ],
						"autosave" : 0
					},
					"patching_rect" : [ 350.0, 20.0, 100.0, 22.0 ],
					"text" : "p source",
					"varname" : "source"
				}
			},
			{
				"box" : {
					"id" : "obj-tab-metadata",
					"maxclass" : "newobj",
					"numinlets" : 0,
					"numoutlets" : 0,
					"patcher" : {
						"fileversion" : 1,
						"appversion" : {
							"major" : 8,
							"minor" : 5,
							"revision" : 0,
							"architecture" : "x64",
							"modernui" : 1
						},
						"classnamespace" : "box",
						"rect" : [ 0.0, 26.0, 1160.0, 760.0 ],
						"default_fontsize" : 12.0,
						"default_fontname" : "Arial",
						"gridsize" : [ 15.0, 15.0 ],
						"showontab" : 1,
						"boxes" : [
							{
								"box" : {
									"id" : "obj-title",
									"maxclass" : "comment",
									"fontsize" : 24.0,
									"fontface" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 10.0, 500.0, 36.0 ],
									"text" : "metadata"
								}
							},
							{
								"box" : {
									"id" : "obj-digest",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 50.0, 760.0, 20.0 ],
									"text" : "info: the file's properties and its tags, nothing loaded; every load fills the dict too"
								}
							},
							{
								"box" : {
									"id" : "obj-msg1",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 90.0, 200.0, 22.0 ],
									"text" : "info vorlo-demo.flac"
								}
							},
							{
								"box" : {
									"id" : "obj-note1",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 230.0, 90.0, 420.0, 20.0 ],
									"text" : "only the properties list, and the tags into the dict vorlo-meta"
								}
							},
							{
								"box" : {
									"id" : "obj-msg2",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 120.0, 200.0, 22.0 ],
									"text" : "info vorlo-demo-video.mkv"
								}
							},
							{
								"box" : {
									"id" : "obj-note2",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 230.0, 120.0, 420.0, 20.0 ],
									"text" : "a file with a video and two audio streams"
								}
							},
							{
								"box" : {
									"id" : "obj-msg3",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 150.0, 200.0, 22.0 ],
									"text" : "replace vorlo-demo.flac"
								}
							},
							{
								"box" : {
									"id" : "obj-note3",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 230.0, 150.0, 420.0, 20.0 ],
									"text" : "a load fills the dict as well"
								}
							},
							{
								"box" : {
									"id" : "obj-msg4",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 180.0, 200.0, 22.0 ],
									"text" : "replace dict=vorlo-file"
								}
							},
							{
								"box" : {
									"id" : "obj-note4",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 230.0, 180.0, 420.0, 20.0 ],
									"text" : "the file that the dict vorlo-file names (filepath, filename)"
								}
							},
							{
								"box" : {
									"id" : "obj-dictbang",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 420.0, 205.0, 60.0, 22.0 ],
									"text" : "loadbang"
								}
							},
							{
								"box" : {
									"id" : "obj-dictset",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 420.0, 235.0, 330.0, 22.0 ],
									"text" : "clear, set filepath \"\", set filename vorlo-demo.flac"
								}
							},
							{
								"box" : {
									"id" : "obj-dictfile",
									"maxclass" : "newobj",
									"numinlets" : 2,
									"numoutlets" : 4,
									"outlettype" : [ "dictionary", "", "", "" ],
									"patching_rect" : [ 420.0, 265.0, 110.0, 22.0 ],
									"text" : "dict vorlo-file"
								}
							},
							{
								"box" : {
									"id" : "obj-dictnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 540.0, 265.0, 210.0, 48.0 ],
									"text" : "filepath and filename joined: an empty folder lets Max's search path find it"
								}
							},
							{
								"box" : {
									"id" : "obj-vorlo",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 4,
									"outlettype" : [ "list", "bang", "bang", "" ],
									"patching_rect" : [ 20.0, 300.0, 330.0, 22.0 ],
									"text" : "vorlo~ vorlo-tags @metadatadict vorlo-meta"
								}
							},
							{
								"box" : {
									"id" : "obj-propset",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 340.0, 80.0, 22.0 ],
									"text" : "prepend set"
								}
							},
							{
								"box" : {
									"id" : "obj-props",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 375.0, 430.0, 22.0 ],
									"text" : ""
								}
							},
							{
								"box" : {
									"id" : "obj-propsnote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 400.0, 430.0, 20.0 ],
									"text" : "file properties: rate, channels, length (ms), start (ms), channel layout, codec, source"
								}
							},
							{
								"box" : {
									"id" : "obj-done",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 122.0, 340.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-donenote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 148.0, 342.0, 80.0, 20.0 ],
									"text" : "done"
								}
							},
							{
								"box" : {
									"id" : "obj-error",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 224.0, 340.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-errornote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 250.0, 342.0, 80.0, 34.0 ],
									"text" : "error: see the console"
								}
							},
							{
								"box" : {
									"id" : "obj-spare",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 326.0, 340.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-sparenote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 352.0, 342.0, 80.0, 34.0 ],
									"text" : "spare, never fires"
								}
							},
							{
								"box" : {
									"id" : "obj-attr-metadatadict",
									"maxclass" : "attrui",
									"attr" : "metadatadict",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 440.0, 250.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-buffer",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 2,
									"outlettype" : [ "float", "bang" ],
									"patching_rect" : [ 290.0, 440.0, 120.0, 22.0 ],
									"text" : "buffer~ vorlo-tags"
								}
							},
							{
								"box" : {
									"id" : "obj-metabang",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 480.0, 40.0, 22.0 ],
									"text" : "bang"
								}
							},
							{
								"box" : {
									"id" : "obj-meta",
									"maxclass" : "newobj",
									"numinlets" : 2,
									"numoutlets" : 4,
									"outlettype" : [ "dictionary", "", "", "" ],
									"patching_rect" : [ 20.0, 510.0, 120.0, 22.0 ],
									"text" : "dict vorlo-meta"
								}
							},
							{
								"box" : {
									"id" : "obj-metaview",
									"maxclass" : "dict.view",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 545.0, 430.0, 180.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-metanote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 150.0, 510.0, 300.0, 24.0 ],
									"text" : "shown after each load, or on a bang"
								}
							},
							{
								"box" : {
									"id" : "obj-wfset",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 760.0, 340.0, 110.0, 22.0 ],
									"text" : "set vorlo-tags"
								}
							},
							{
								"box" : {
									"id" : "obj-wfnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 880.0, 340.0, 190.0, 24.0 ],
									"text" : "after each load: show it"
								}
							},
							{
								"box" : {
									"id" : "obj-waveform",
									"maxclass" : "waveform~",
									"buffername" : "vorlo-tags",
									"numinlets" : 5,
									"numoutlets" : 6,
									"outlettype" : [ "float", "float", "float", "float", "list", "" ],
									"patching_rect" : [ 760.0, 370.0, 330.0, 110.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-sig",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 760.0, 500.0, 50.0, 22.0 ],
									"text" : "sig~ 1"
								}
							},
							{
								"box" : {
									"id" : "obj-rewind",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 830.0, 500.0, 30.0, 22.0 ],
									"text" : "0"
								}
							},
							{
								"box" : {
									"id" : "obj-rewindnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 865.0, 500.0, 125.0, 24.0 ],
									"text" : "play from the start"
								}
							},
							{
								"box" : {
									"id" : "obj-looptoggle",
									"maxclass" : "toggle",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "int" ],
									"patching_rect" : [ 1000.0, 500.0, 22.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-loop",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 1030.0, 500.0, 60.0, 22.0 ],
									"text" : "loop $1"
								}
							},
							{
								"box" : {
									"id" : "obj-groove",
									"maxclass" : "newobj",
									"numinlets" : 3,
									"numoutlets" : 3,
									"outlettype" : [ "signal", "signal", "signal" ],
									"patching_rect" : [ 760.0, 540.0, 150.0, 22.0 ],
									"text" : "groove~ vorlo-tags 2"
								}
							},
							{
								"box" : {
									"id" : "obj-gainbang",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 960.0, 540.0, 60.0, 22.0 ],
									"text" : "loadbang"
								}
							},
							{
								"box" : {
									"id" : "obj-gaininit",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 1030.0, 540.0, 30.0, 22.0 ],
									"text" : "0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-gain",
									"maxclass" : "flonum",
									"minimum" : 0.0,
									"maximum" : 1.0,
									"format" : 6,
									"numinlets" : 1,
									"numoutlets" : 2,
									"outlettype" : [ "", "bang" ],
									"patching_rect" : [ 960.0, 570.0, 50.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-gainnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 1015.0, 570.0, 75.0, 24.0 ],
									"text" : "gain 0-1"
								}
							},
							{
								"box" : {
									"id" : "obj-gainl",
									"maxclass" : "newobj",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 760.0, 600.0, 50.0, 22.0 ],
									"text" : "*~ 0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-gainr",
									"maxclass" : "newobj",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 830.0, 600.0, 50.0, 22.0 ],
									"text" : "*~ 0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-dac",
									"maxclass" : "ezdac~",
									"numinlets" : 2,
									"numoutlets" : 0,
									"patching_rect" : [ 760.0, 640.0, 45.0, 45.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-dacnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 815.0, 650.0, 180.0, 24.0 ],
									"text" : "turn the audio on here"
								}
							}
						],
						"lines" : [
							{
								"patchline" : {
									"source" : [ "obj-msg1", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg2", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg3", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg4", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-dictbang", 0 ],
									"destination" : [ "obj-dictset", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-dictset", 0 ],
									"destination" : [ "obj-dictfile", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 0 ],
									"destination" : [ "obj-propset", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-propset", 0 ],
									"destination" : [ "obj-props", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 1 ],
									"destination" : [ "obj-done", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 2 ],
									"destination" : [ "obj-error", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 3 ],
									"destination" : [ "obj-spare", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-attr-metadatadict", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-metabang", 0 ],
									"destination" : [ "obj-meta", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 1 ],
									"destination" : [ "obj-meta", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-meta", 0 ],
									"destination" : [ "obj-metaview", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 1 ],
									"destination" : [ "obj-wfset", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-wfset", 0 ],
									"destination" : [ "obj-waveform", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-looptoggle", 0 ],
									"destination" : [ "obj-loop", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-sig", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-rewind", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-loop", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainbang", 0 ],
									"destination" : [ "obj-gaininit", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gaininit", 0 ],
									"destination" : [ "obj-gain", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-groove", 0 ],
									"destination" : [ "obj-gainl", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-groove", 1 ],
									"destination" : [ "obj-gainr", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gain", 0 ],
									"destination" : [ "obj-gainl", 1 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gain", 0 ],
									"destination" : [ "obj-gainr", 1 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainl", 0 ],
									"destination" : [ "obj-dac", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainr", 0 ],
									"destination" : [ "obj-dac", 1 ]
								}
							}
						],
						"dependency_cache" : [ ],
						"autosave" : 0
					},
					"patching_rect" : [ 460.0, 20.0, 100.0, 22.0 ],
					"text" : "p metadata",
					"varname" : "metadata"
				}
			},
			{
				"box" : {
					"id" : "obj-tab-attributes",
					"maxclass" : "newobj",
					"numinlets" : 0,
					"numoutlets" : 0,
					"patcher" : {
						"fileversion" : 1,
						"appversion" : {
							"major" : 8,
							"minor" : 5,
							"revision" : 0,
							"architecture" : "x64",
							"modernui" : 1
						},
						"classnamespace" : "box",
						"rect" : [ 0.0, 26.0, 1160.0, 760.0 ],
						"default_fontsize" : 12.0,
						"default_fontname" : "Arial",
						"gridsize" : [ 15.0, 15.0 ],
						"showontab" : 1,
						"boxes" : [
							{
								"box" : {
									"id" : "obj-title",
									"maxclass" : "comment",
									"fontsize" : 24.0,
									"fontface" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 10.0, 500.0, 36.0 ],
									"text" : "attributes"
								}
							},
							{
								"box" : {
									"id" : "obj-digest",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 50.0, 760.0, 20.0 ],
									"text" : "the result's rate, the stream to decode, and the console's trace"
								}
							},
							{
								"box" : {
									"id" : "obj-msg1",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 90.0, 290.0, 22.0 ],
									"text" : "stream_nb 2, replace vorlo-demo-video.mkv"
								}
							},
							{
								"box" : {
									"id" : "obj-note1",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 320.0, 90.0, 420.0, 20.0 ],
									"text" : "stream 2 of the video demo: its 880 Hz audio stream"
								}
							},
							{
								"box" : {
									"id" : "obj-msg2",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 120.0, 290.0, 22.0 ],
									"text" : "stream_nb 1, replace vorlo-demo-video.mkv"
								}
							},
							{
								"box" : {
									"id" : "obj-note2",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 320.0, 120.0, 420.0, 20.0 ],
									"text" : "stream 1: the 440 Hz one (the video is stream 0)"
								}
							},
							{
								"box" : {
									"id" : "obj-msg3",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 150.0, 290.0, 22.0 ],
									"text" : "stream_nb -1, replace vorlo-demo.flac"
								}
							},
							{
								"box" : {
									"id" : "obj-note3",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 320.0, 150.0, 420.0, 20.0 ],
									"text" : "the stream FFmpeg picks, at the rate that resample names"
								}
							},
							{
								"box" : {
									"id" : "obj-vorlo",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 4,
									"outlettype" : [ "list", "bang", "bang", "" ],
									"patching_rect" : [ 20.0, 230.0, 330.0, 22.0 ],
									"text" : "vorlo~ vorlo-streams"
								}
							},
							{
								"box" : {
									"id" : "obj-propset",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 270.0, 80.0, 22.0 ],
									"text" : "prepend set"
								}
							},
							{
								"box" : {
									"id" : "obj-props",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 305.0, 430.0, 22.0 ],
									"text" : ""
								}
							},
							{
								"box" : {
									"id" : "obj-propsnote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 20.0, 330.0, 430.0, 20.0 ],
									"text" : "file properties: rate, channels, length (ms), start (ms), channel layout, codec, source"
								}
							},
							{
								"box" : {
									"id" : "obj-done",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 122.0, 270.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-donenote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 148.0, 272.0, 80.0, 20.0 ],
									"text" : "done"
								}
							},
							{
								"box" : {
									"id" : "obj-error",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 224.0, 270.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-errornote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 250.0, 272.0, 80.0, 34.0 ],
									"text" : "error: see the console"
								}
							},
							{
								"box" : {
									"id" : "obj-spare",
									"maxclass" : "button",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 326.0, 270.0, 24.0, 24.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-sparenote",
									"maxclass" : "comment",
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 352.0, 272.0, 80.0, 34.0 ],
									"text" : "spare, never fires"
								}
							},
							{
								"box" : {
									"id" : "obj-attr-resample",
									"maxclass" : "attrui",
									"attr" : "resample",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 370.0, 250.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-attr-stream_nb",
									"maxclass" : "attrui",
									"attr" : "stream_nb",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 398.0, 250.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-attr-debug",
									"maxclass" : "attrui",
									"attr" : "debug",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 426.0, 250.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-attr-decoders",
									"maxclass" : "attrui",
									"attr" : "decoders",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 20.0, 454.0, 250.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-resamplenote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 280.0, 370.0, 300.0, 34.0 ],
									"text" : "resample picks a rate from a table: 7 = 48000 Hz, 0 = the file's own rate"
								}
							},
							{
								"box" : {
									"id" : "obj-debugnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 280.0, 426.0, 300.0, 24.0 ],
									"text" : "debug 1 traces each load in the Max console"
								}
							},
							{
								"box" : {
									"id" : "obj-buffer",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 2,
									"outlettype" : [ "float", "bang" ],
									"patching_rect" : [ 20.0, 490.0, 140.0, 22.0 ],
									"text" : "buffer~ vorlo-streams"
								}
							},
							{
								"box" : {
									"id" : "obj-wfset",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 760.0, 270.0, 110.0, 22.0 ],
									"text" : "set vorlo-streams"
								}
							},
							{
								"box" : {
									"id" : "obj-wfnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 880.0, 270.0, 190.0, 24.0 ],
									"text" : "after each load: show it"
								}
							},
							{
								"box" : {
									"id" : "obj-waveform",
									"maxclass" : "waveform~",
									"buffername" : "vorlo-streams",
									"numinlets" : 5,
									"numoutlets" : 6,
									"outlettype" : [ "float", "float", "float", "float", "list", "" ],
									"patching_rect" : [ 760.0, 300.0, 330.0, 110.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-sig",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 760.0, 430.0, 50.0, 22.0 ],
									"text" : "sig~ 1"
								}
							},
							{
								"box" : {
									"id" : "obj-rewind",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 830.0, 430.0, 30.0, 22.0 ],
									"text" : "0"
								}
							},
							{
								"box" : {
									"id" : "obj-rewindnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 865.0, 430.0, 125.0, 24.0 ],
									"text" : "play from the start"
								}
							},
							{
								"box" : {
									"id" : "obj-looptoggle",
									"maxclass" : "toggle",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "int" ],
									"patching_rect" : [ 1000.0, 430.0, 22.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-loop",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 1030.0, 430.0, 60.0, 22.0 ],
									"text" : "loop $1"
								}
							},
							{
								"box" : {
									"id" : "obj-groove",
									"maxclass" : "newobj",
									"numinlets" : 3,
									"numoutlets" : 3,
									"outlettype" : [ "signal", "signal", "signal" ],
									"patching_rect" : [ 760.0, 470.0, 150.0, 22.0 ],
									"text" : "groove~ vorlo-streams 2"
								}
							},
							{
								"box" : {
									"id" : "obj-gainbang",
									"maxclass" : "newobj",
									"numinlets" : 1,
									"numoutlets" : 1,
									"outlettype" : [ "bang" ],
									"patching_rect" : [ 960.0, 470.0, 60.0, 22.0 ],
									"text" : "loadbang"
								}
							},
							{
								"box" : {
									"id" : "obj-gaininit",
									"maxclass" : "message",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "" ],
									"patching_rect" : [ 1030.0, 470.0, 30.0, 22.0 ],
									"text" : "0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-gain",
									"maxclass" : "flonum",
									"minimum" : 0.0,
									"maximum" : 1.0,
									"format" : 6,
									"numinlets" : 1,
									"numoutlets" : 2,
									"outlettype" : [ "", "bang" ],
									"patching_rect" : [ 960.0, 500.0, 50.0, 22.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-gainnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 1015.0, 500.0, 75.0, 24.0 ],
									"text" : "gain 0-1"
								}
							},
							{
								"box" : {
									"id" : "obj-gainl",
									"maxclass" : "newobj",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 760.0, 530.0, 50.0, 22.0 ],
									"text" : "*~ 0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-gainr",
									"maxclass" : "newobj",
									"numinlets" : 2,
									"numoutlets" : 1,
									"outlettype" : [ "signal" ],
									"patching_rect" : [ 830.0, 530.0, 50.0, 22.0 ],
									"text" : "*~ 0.5"
								}
							},
							{
								"box" : {
									"id" : "obj-dac",
									"maxclass" : "ezdac~",
									"numinlets" : 2,
									"numoutlets" : 0,
									"patching_rect" : [ 760.0, 570.0, 45.0, 45.0 ]
								}
							},
							{
								"box" : {
									"id" : "obj-dacnote",
									"maxclass" : "comment",
									"bubble" : 1,
									"bubbleside" : 1,
									"numinlets" : 1,
									"numoutlets" : 0,
									"patching_rect" : [ 815.0, 580.0, 180.0, 24.0 ],
									"text" : "turn the audio on here"
								}
							}
						],
						"lines" : [
							{
								"patchline" : {
									"source" : [ "obj-msg1", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg2", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-msg3", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 0 ],
									"destination" : [ "obj-propset", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-propset", 0 ],
									"destination" : [ "obj-props", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 1 ],
									"destination" : [ "obj-done", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 2 ],
									"destination" : [ "obj-error", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 3 ],
									"destination" : [ "obj-spare", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-attr-resample", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-attr-stream_nb", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-attr-debug", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-attr-decoders", 0 ],
									"destination" : [ "obj-vorlo", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-vorlo", 1 ],
									"destination" : [ "obj-wfset", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-wfset", 0 ],
									"destination" : [ "obj-waveform", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-looptoggle", 0 ],
									"destination" : [ "obj-loop", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-sig", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-rewind", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-loop", 0 ],
									"destination" : [ "obj-groove", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainbang", 0 ],
									"destination" : [ "obj-gaininit", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gaininit", 0 ],
									"destination" : [ "obj-gain", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-groove", 0 ],
									"destination" : [ "obj-gainl", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-groove", 1 ],
									"destination" : [ "obj-gainr", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gain", 0 ],
									"destination" : [ "obj-gainl", 1 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gain", 0 ],
									"destination" : [ "obj-gainr", 1 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainl", 0 ],
									"destination" : [ "obj-dac", 0 ]
								}
							},
							{
								"patchline" : {
									"source" : [ "obj-gainr", 0 ],
									"destination" : [ "obj-dac", 1 ]
								}
							}
						],
						"dependency_cache" : [ ],
						"autosave" : 0
					},
					"patching_rect" : [ 570.0, 20.0, 100.0, 22.0 ],
					"text" : "p attributes",
					"varname" : "attributes"
				}
			}
		],
		"lines" : [ ],
		"dependency_cache" : [ ],
		"autosave" : 0
	}
}
